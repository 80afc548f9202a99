// The one message the module shows its user: a modal error box with an OK button and no
// owner window. Where the platform has no message box, the text and caption go to standard
// error as one line.
#pragma once

void show_error_message(const char* text, const char* caption);

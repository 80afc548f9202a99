#!/bin/sh
# Runs the tool named by $TOOL for help2man, with the usage lines of its --help in the form
# help2man takes as the synopsis ("Usage:" and then "  or:" lines). All else passes unchanged.
"$TOOL" "$@" | sed -e 's/^usage: /Usage: /' -e 's/^       \([^ ]\)/  or:  \1/'

// An optional capability: a plug-in that measures how far it turns its gain down offers this
// interface, and an adapter that can show a meter asks for it. The four AXOI interfaces stay
// as they are; the meter is reached through the plug-in's string-keyed extension query:
//
//     axo_meter_i* meter = nullptr;
//     if (plugin->extension(AXO_METER_KEY, &meter, sizeof meter) != 1) meter = nullptr;
//
// A plug-in with a meter writes its address into the pointer and answers 1; any other plug-in
// answers 0 and writes nothing. The meter belongs to the plug-in and lives as long as it.
// Reading it touches no lock and allocates nothing: call it on the processing thread between
// process calls, never at the same time as one.
#pragma once

constexpr const char* AXO_METER_KEY = "meter";

class axo_meter_i {
public:
    virtual ~axo_meter_i() = default;
    // The lowest gain (a linear factor, 1 when nothing was reduced) the plug-in has applied
    // since the previous call, and starts measuring afresh from the gain it has now.
    virtual float take_lowest_gain() = 0;
};

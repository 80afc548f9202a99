// A plug-in that runs: process() splits each block at the positions of its timed event
// records and calls process_block() for every stretch between them.
#pragma once

#include "axo_plugin.h"

// Most channels per audio direction a standard plug-in processes.
constexpr int AXO_MAX_CHANNELS = 4;

class axo_std_plugin : public axo_plugin {
public:
    int reserved_1() override;
    int process(int64_t position, float** inputs, int input_stride, float** outputs,
                int output_stride, axo_aux_i* events, int frames) override;

    // Processes exactly frames frames and advances every pointer of both tables by frames
    // times its stride. The base passes audio through: input and output channel numbers
    // advance together, each wrapping at its own count, so equal counts copy channel for
    // channel, one input feeds every output and with one output the last input wins. With
    // no inputs the outputs are cleared; with no outputs nothing is written.
    virtual int process_block(int64_t position, float** inputs, int input_stride, float** outputs,
                              int output_stride, int frames);
};

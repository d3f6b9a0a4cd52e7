#pragma once

// How a run ended: its first failure, in the order the run met them. The
// input and the output each know their own failure; nothing is read once a
// write has failed, so a read failure, when there is one, came first.

#include "engine/output_sink.hpp"
#include "engine/text_input.hpp"

enum class run_outcome {
    done,
    read_failed,  // the input could not be read to its end
    write_failed, // the output could not be written whole
};

inline run_outcome outcome_of(const text_input& in, const output_sink& out)
{
    return in.read_failed       ? run_outcome::read_failed
           : out.write_failed() ? run_outcome::write_failed
                                : run_outcome::done;
}

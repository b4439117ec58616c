#pragma once

#include <cstddef>

class TIdleHolder;

// Opens `idle` connections that send nothing (held by the holder's
// process), then times `requests` requests one after another while they are
// held, and prints p50, p99 and the server's memory per idle connection.
void RunIdleBench(TIdleHolder& holder, size_t idle, size_t requests);

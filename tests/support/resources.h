#pragma once

// What this process holds of the operating system, for tests that a long outage costs a
// bounded amount.
namespace support {

int threadCount();
// Open file descriptors (POSIX) or handles (Windows): sockets, files, pipes.
int openFileCount();

} // namespace support

#pragma once
// POSIX devices' one way of waiting: poll() on a descriptor together with the
// waker's (SpDevicePosix.cpp). The terminal and the socket both wait here.

class TSpWaker;

// Waits until fd shows one of events (poll bits; 0: the waker alone counts),
// the waker is signalled, or timeoutMs (< 0: no limit) has passed, and
// consumes the waker's signals. Returns fd's poll bits (0 when woken or timed
// out), or minus the code when the wait itself failed.
int spPollWithWaker(const TSpWaker* waker, int fd, int events, int timeoutMs);

#pragma once
// The program's own uploads and downloads against the emulated unit on a line
// paced at 19200 bit/s, over the pseudo-terminal and through ser2net (raw tcp
// and rfc2217): the payload rate of each transfer as a share of the 1K-block
// limit. See UnitTransfers.cpp.

void unitTransfers();

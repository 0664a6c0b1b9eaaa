// A module loaded at run time with one thread-local block of its own: each thread that touches it gets a
// dynamic TLS block of 48 bytes, allocated by glibc.
thread_local char block[48];

extern "C" char* lumeskTouchThreadBlock()
{
    block[0] = 1;
    return block;
}

// A tiny library for the library-loading tests, built twice with different tags so a
// test can tell which copy the search found.
extern "C" int ProbeTag() { return PROBE_TAG; }

// A sample release tree of our own making, for the demo, the end-to-end tests and the
// benchmarks: aircraft, airfoils, instructions, resources, scenery and one application file per
// platform, with deterministic contents (the same options always give the same bytes).
#pragma once
#include <string>

struct SampleOptions {
  std::string out;          // the top folder to create, e.g. ".../Velmora 9"
  int files = 300;          // about this many files in all
  long long megabytes = 20; // about this many megabytes of content in all
  unsigned seed = 1;        // another seed gives other contents (a "changed" release)
};

// Writes the tree. Returns 0, or 1 with `error` saying what went wrong.
int write_sample_tree(const SampleOptions& options, std::string& error);

#pragma once

// The command line, one form per line:
//   vorbel [FILE]                                            the window
//   vorbel --coefficients FILE                               the coefficient text on standard output
//   vorbel --picture OUT.png [--size WxH] [--dpi N] FILE     the full paint of FILE's design as PNG
//   vorbel --export FORMAT [--name NAME] FILE                FILE's filter as code (model/code_export.h)
//   vorbel --precision FORMAT FILE                           the roots rounded to float32, q15 or q31
//   vorbel --import [--rate R] IN OUT.vorbel                 IN's filter coefficients as a design file
//   vorbel --apply [--resample] FILE IN OUT                  the sound file IN filtered by FILE's design
//   vorbel --impulse N FILE                                  h[0] … h[N − 1] of FILE's filter, one per line
//   vorbel --step N FILE                                     the step response's first N samples, one per line
//   vorbel --group-delay [--points N] FILE                   lines f_hz,tau_samples from 10 Hz to Nyquist
//   vorbel --roots FILE                                      the zeros and poles as CSV with a header line
//   vorbel --help | --version
// Qt's own window options (-platform NAME, -style NAME, -reverse, ..., with
// one dash as Qt documents them) go with the window form only.

// Exit statuses besides 0: a file that cannot be read, is no valid design or
// sound file, or cannot be written, a design the export or rounding cannot
// take, or a window that cannot be opened; a command line that is malformed
// (a count out of its range among them).
constexpr int EXIT_FILE_PROBLEM = 1;
constexpr int EXIT_USAGE = 2;

// Reads the command line and carries it out; argv[0] is the program's path.
// Everything is decided before any Qt application exists, so that a refused
// line and every form but the window need no window system, and the window's
// QApplication sees Qt's own options alone. Every failure prints one line
// naming the problem to standard error. Returns the exit status.
int runCommandLine(int argc, char** argv);

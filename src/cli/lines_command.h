// The "lines", "offsets" and "from-offsets" subcommands: lines plans and station templates,
// offset tables out, and surfaces skinned through offset tables in.
#pragma once

// Each runs its subcommand; argv[0] is the subcommand's name. Returns the exit status: 0 done,
// 1 bad input or a file that cannot be written, 2 usage error.
int linesCommand(int argc, char** argv);
int offsetsCommand(int argc, char** argv);
int fromOffsetsCommand(int argc, char** argv);

// Opening a transfer's two files, with the checks that keep a run from
// harming its own data: the input named again as the output, the report's
// descriptor being one of the files, and a name that reaches a descriptor
// the program only holds as a stand-in for a closed standard one. Each check
// is made by name before the file is opened, and again on the descriptor
// once it is.
#pragma once

#include <decbytes/decbytes.h>
#include "io/file_id.h"
#include "io/output_writer.h"
#include "io/unique_fd.h"

namespace decbytes {

struct FilesToOpen {
  const char* inputName;
  const char* outputName;
  const FileId* report;   // the report's file; nullptr when its descriptor is not open
  const FileId* standIn;  // a stand-in for closed standard descriptors; nullptr: none
};

// The checks that need no file opened: the input is a stand-in, a pipe or
// FIFO named as both files (opening it could wait for ever), or the report
// is the input. Returns false with the refusal in `result`.
bool CheckNamesBeforeOpening(const FilesToOpen& files, TransferResult& result);

// Opens the input for reading; on failure returns no descriptor, with the
// status and errno in `result`. `input` receives its file.
UniqueFd OpenInput(const FilesToOpen& files, FileId& input, TransferResult& result);

// Opens the output for writing, creating it with mode 0666 less the umask.
// Truncates a regular file, through `truncate`, only once it is known to be
// neither the input nor the report, so that a refused run leaves it as it
// was. On failure returns no descriptor, with the status and errno in
// `result`.
UniqueFd OpenOutput(const FilesToOpen& files, const FileId& input, TruncateFunction truncate,
                    TransferResult& result);

// The same checks of two descriptors that a caller opened: each open the
// right way for its use (else InputOpenFailed or OutputOpenFailed, EBADF),
// the input no directory (EISDIR), neither the report, and not one data
// file. Returns false with the refusal in `result`.
bool CheckDescriptors(int inputFd, int outputFd, const FileId* report, TransferResult& result);

}  // namespace decbytes

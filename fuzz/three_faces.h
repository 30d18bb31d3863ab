// The library's three faces run on one input: the Converter fed the input
// in pieces of memory, TransferDescriptors reading it from a pipe, and the
// file transfer reading it from a file. Each must give the line model's
// bytes, report and counts, so all three give the same.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace decbytes::faces {

// An input and the pieces the Converter is fed.
struct FacesCase {
  std::string text;
  std::vector<std::size_t> pieces;  // their sizes in order, summing to the text's; 0: an empty one
};

// Decodes a fuzz input. Its first byte: the low three bits give the count
// of piece-size bytes that follow (1 to 8); the high five bits, g, how many
// times the rest of the input is repeated to make the text (once below 28,
// 2, 4 or 8 times for 28 to 30, 32 times for 31: past the 64 KiB a pipe
// holds, for inputs of a few KiB). The piece sizes are taken
// in turn, over and over, until the text is cut up; a size byte s asks for
//   0          the rest of the text;
//   1..191     s bytes;
//   192..239   (s - 191) * 128 bytes (128 to 6144);
//   240..255   the bytes up to a landmark, the next '\n', '\r', NUL or digit
//              (s & 3), cut before it, after it, one byte later or two
//              (s >> 2 & 3); the rest of the text when there is none.
// A piece never runs past the text's end; one cut where it starts is empty
// and the next takes one byte.
FacesCase DecodeFacesCase(std::string_view data);

// Runs the three faces on `c`, with the warnings naming the file
// transfer's input path, and returns "" when each gives the model's output,
// report, bytesWritten and illegalLines, Completed and no error; otherwise
// what differs, face by face. Sets MaxValue to the bound of a byte.
std::string FacesDifference(const FacesCase& c);

inline std::string FacesDifference(std::string_view fuzzInput) {
  return FacesDifference(DecodeFacesCase(fuzzInput));
}

}  // namespace decbytes::faces

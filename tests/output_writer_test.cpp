// The output writer's blocks: whole pages while the buffer fills, the rest
// kept for the next write, and every byte written once, in order. A packet
// socket keeps the bounds of each write, so the test sees them.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "io/output_writer.h"

namespace decbytes {
namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kCapacity = 3 * kPage + 100;

// A writer on one end of a packet socket, and the writes seen at the other.
class WriteLog {
 public:
  WriteLog() {
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds_), 0);
    int size = 1 << 20;
    ::setsockopt(fds_[0], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  }
  ~WriteLog() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  WriteLog(const WriteLog&) = delete;
  WriteLog& operator=(const WriteLog&) = delete;

  int writeFd() const { return fds_[0]; }

  // Collects the writes made since the last call.
  void Drain() {
    std::vector<char> packet(2 * kCapacity);
    for (;;) {
      const ssize_t got = ::recv(fds_[1], packet.data(), packet.size(), MSG_DONTWAIT);
      if (got <= 0) return;
      sizes.push_back(static_cast<std::size_t>(got));
      bytes.append(packet.data(), static_cast<std::size_t>(got));
    }
  }

  std::vector<std::size_t> sizes;
  std::string bytes;

 private:
  int fds_[2] = {-1, -1};
};

// Bytes that tell every position apart.
std::string Pattern(std::size_t count, std::size_t start) {
  std::string bytes(count, '\0');
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((start + i) * 7 % 251);
  return bytes;
}

// Reservations of many sizes: every write made to make room is whole pages,
// the bytes arrive whole and in order, and the final flush writes the rest.
TEST(OutputWriterBlocks, WholePagesWhileFilling) {
  for (const std::size_t chunk : {1u, 100u, 999u, 4095u, 4096u, 4097u, 8000u, 8292u}) {
    SCOPED_TRACE(chunk);
    WriteLog log;
    OutputWriter writer(log.writeFd(), kCapacity);
    std::string sent;
    for (int i = 0; i < 40; ++i) {
      char* cursor = writer.Reserve(chunk);
      ASSERT_NE(cursor, nullptr);
      const std::string piece = Pattern(chunk, sent.size());
      std::memcpy(cursor, piece.data(), chunk);
      writer.Commit(cursor + chunk);
      sent += piece;
      const std::size_t writes = log.sizes.size();
      log.Drain();
      // Right after making room, less than a page was kept besides the
      // reservation just filled.
      if (log.sizes.size() > writes) {
        ASSERT_LT(sent.size() - log.bytes.size(), kPage + chunk);
      }
    }
    for (const std::size_t size : log.sizes) EXPECT_EQ(size % kPage, 0u) << size;
    ASSERT_TRUE(writer.Flush());
    log.Drain();
    EXPECT_TRUE(log.bytes == sent);
  }
}

// Appends mixed with reservations, one larger than the buffer: the bytes
// still arrive whole and in order, across several flushes.
TEST(OutputWriterBlocks, AppendsAndFlushesKeepOrder) {
  WriteLog log;
  OutputWriter writer(log.writeFd(), kCapacity);
  std::string sent;
  for (const std::size_t size : {5000u, 3u, 12000u, 20000u, 1u, 4096u, 7000u}) {
    const std::string piece = Pattern(size, sent.size());
    ASSERT_TRUE(writer.Append(piece));
    sent += piece;
    if (size == 1) {
      ASSERT_TRUE(writer.Flush());
    }
  }
  ASSERT_TRUE(writer.Flush());
  log.Drain();
  EXPECT_TRUE(log.bytes == sent);
}

}  // namespace
}  // namespace decbytes

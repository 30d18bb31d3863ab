// host_convert INPUT OUTPUT: converts through the host's shared library,
// the report on the standard output; exit status 0 when it completed.
#include <cstdint>

std::int64_t HostConvert(const char* input, const char* output);

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  return HostConvert(argv[1], argv[2]) < 0 ? 1 : 0;
}

// Runs every file of the given directories (or the given files) through the
// fuzz entry point once, in name order, so that corpora and regression
// inputs replay as ordinary tests on every target. A missing directory is
// an error: a test that replays nothing proves nothing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool Replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  // A fresh exact-sized copy, so a read past the input is caught.
  std::uint8_t* exact = new std::uint8_t[data.size()];
  std::copy(data.begin(), data.end(), exact);
  LLVMFuzzerTestOneInput(exact, data.size());
  delete[] exact;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg(argv[i]);
    std::error_code ec;
    if (fs::is_regular_file(arg, ec)) {
      if (!Replay(arg)) return 1;
      ++replayed;
      continue;
    }
    if (!fs::is_directory(arg, ec)) {
      std::fprintf(stderr, "no such file or directory: %s\n", argv[i]);
      return 1;
    }
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(arg, ec)) {
      if (entry.is_regular_file(ec)) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      if (!Replay(file)) return 1;
      ++replayed;
    }
  }
  std::printf("replayed %lu inputs\n", static_cast<unsigned long>(replayed));
  return replayed > 0 ? 0 : 1;
}

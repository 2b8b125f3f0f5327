// Writes the zip_reader_fuzz seeds into a folder and empties the scratch folder the fuzzer adds
// its finds to.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "zip_writer.h"

using namespace zevtest;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: zip_fuzz_seeds SEED_FOLDER SCRATCH_FOLDER\n";
    return 2;
  }
  std::filesystem::path seeds = argv[1];
  std::filesystem::remove_all(seeds);
  std::filesystem::remove_all(argv[2]);
  std::filesystem::create_directories(seeds);
  std::filesystem::create_directories(argv[2]);

  std::string text;
  for (int i = 0; i < 40; ++i) text += "TX880 setup line " + std::to_string(i) + "\n";
  std::vector<std::pair<std::string, std::string>> archives = {
      {"plain", BuildZip({{.name = "a.txt", .data = text},
                          {.name = "dir/", .data = "", .method = Method::Stored},
                          {.name = "dir/b.txt", .data = "b", .method = Method::Stored}})},
      {"descriptor_zip64",
       BuildZip({{.name = "a.txt", .data = text, .dataDescriptor = true, .zip64 = true}},
                {.zip64End = true})},
      {"zipcrypto", BuildZip({{.name = "z.txt",
                               .data = text,
                               .encryption = Encryption::ZipCrypto,
                               .password = "pw"}})},
      {"aes", BuildZip({{.name = "x.txt",
                         .data = text,
                         .encryption = Encryption::Aes128,
                         .password = "fuzz",
                         .aesVersion = 1},
                        {.name = "y.txt",
                         .data = "y",
                         .method = Method::Stored,
                         .encryption = Encryption::Aes256,
                         .password = "pw"}})},
      {"times_names", BuildZip({{.name = "caf\x82.txt", .data = "n", .unixTime = 1600000000},
                                {.name = "u\xC3\xA9",
                                 .data = "u",
                                 .utf8Flag = true,
                                 .ntfsTime = 132000000000000000ull}})},
      {"hostile", BuildZip({{.name = "../up.txt", .data = "x"},
                            {.name = "dir/CON", .data = "x"},
                            {.name = "ok.txt", .data = "x"}})},
      {"shared", BuildZip({{.name = "a", .data = text}, {.name = "b", .shareDataOf = 0}})},
      {"comment", BuildZip({{.name = "a", .data = "c"}}, {.comment = "comment"})},
  };
  for (const auto& [name, bytes] : archives) {
    std::ofstream(seeds / (name + ".zip"), std::ios::binary) << bytes;
  }
  return 0;
}

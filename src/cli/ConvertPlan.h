#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The BVH files of one `marvik convert` run and the scene files each one becomes. Files come from
// the command line as given, or from folders searched recursively for names ending in ".bvh" in
// any letter case; outputs mirror each folder's tree under the output folder (beside the inputs
// without one). Uses no plug-in.
class ConvertPlan {
 public:
  struct File {
    std::string input;
    std::string outputStem;  // output path without its extension
    std::string ma;          // set by select: the outputs asked for, else empty
    std::string json;
    std::string png;  // a thumbnail strip of the motion
    std::string bvh;  // the skeleton exported again through the translator's writer
    std::uint64_t bytes = 0;
    std::string problem;  // why it is failed without being read; empty when it can be
    bool upToDate = false;
  };

  explicit ConvertPlan(std::string out) : outDirectory(std::move(out)) {}

  // A file, or every BVH file below a folder. A path that does not exist is kept, failed.
  void add(const std::string& path);
  // Every line of the list file (blank lines aside) as add takes it; false, with the reason,
  // when the list cannot be read.
  bool addList(const std::string& listPath, std::string& error);
  // Sorts the files by path (with "/" as the separator) and drops repeats of one file, fails those
  // whose outputs another file already has, then keeps every shards-th file from index shard
  // (0-based) and marks, unless force, those whose every output is newer than the file. A file
  // whose BVH output would be the file itself is failed. The files kept are in `files`.
  void select(unsigned int shard, unsigned int shards, bool ma, bool json, bool force,
              bool png = false, bool bvh = false);

  std::vector<File> files;

 private:
  void addFile(const std::string& path, const std::string& outputStem);

  std::string outDirectory;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "geometry/SizeTable.h"
#include "pixels/DateStamp.h"

namespace quorvale {

// How a photo meets the size's aspect.
enum class Fit {
  Trim,    // cut to the aspect (borderless), as `trim` and `reduce` say
  Border,  // the whole photo fitted inside the size's box less a white frame
           // of PhotoOptions::margin (reduced, never enlarged), centred on a
           // white canvas of exactly the box; the small-photo skip rule
           // applies as in a trimming run, and `trim` and `reduce` are not
           // looked at
};

// The options a run takes afresh for each photo, so that a change made
// during a run applies from the next photo on.
struct PhotoOptions {
  bool trim = true;          // trim to the target aspect
  bool skipSmall = true;     // a trimming run skips photos of at most 320 x 240
  bool reduce = false;       // reduce to the target box
  bool highQuality = false;  // try the high-quality reduction first
  int quality = 90;          // JPEG quality 0..100
  Fit fit = Fit::Trim;
  int margin = 0;  // with Fit::Border: the frame's width in pixels on every side (FrameMargin)
  friend bool operator==(const PhotoOptions&, const PhotoOptions&) = default;
};

// What quorvale-batch adds to a run for print work. All off by default, and
// then every output byte, log line and count is as without them. Fixed for
// the whole run.
struct PrintOptions {
  // Turn each photo as its Exif orientation says it is shown, before the
  // skip rule and the trim.
  bool autoOrient = false;
  // Copy each photo's Exif block (orientation 1 when turned, the output's
  // pixel size, no thumbnail) and ICC profile into its output.
  bool keepMetadata = false;
  // Convert each RGB photo whose ICC profile is not sRGB's to sRGB, after
  // its trim and reduction; with keepMetadata its output then carries the
  // compact sRGB profile instead. A profile that cannot be read leaves the
  // values as they are, with a warning.
  bool colourSrgb = false;
  // Above 0: the JFIF density of each output, in dots per inch.
  int dpi = 0;
  // Give each output the modification time of its photo.
  bool keepTimes = false;
  // An output that exists already is left untouched: the photo is logged
  // as skipped and counted as a skip, without being decoded.
  bool skipExisting = false;
  // Trim and reduce photos of any size rather than at most MaxPhotoSide.
  bool largePhotos = false;
  // Go through every step but write nothing: no folder, no file.
  bool dryRun = false;
  // Give each PhotoReport a small JPEG of the photo as shown.
  bool thumbnails = false;
  // Above 0: the date the photo was taken is stamped in the lower right of
  // each output (DrawDateStamp), this many pixels high on an output whose
  // short side is the target's S and in proportion on others
  // (DateStampHeight), written as `dateFormat`.
  std::int32_t dateStamp = 0;
  DateFormat dateFormat = DateFormat::Kiosk;
  // Outputs named for a print shop's machine, all in the output folder
  // (ShopNames), with the map of names to photos beside them
  // (ShopNamesFile) for the photos whose output is there after the run.
  bool shopNames = false;
  friend bool operator==(const PrintOptions&, const PrintOptions&) = default;
};

// The key of a photo's crop position: `path` relative to the input folder
// `inputFolder` (an absolute path inside it loses the folder's text; a
// leading "./", and "./" after a separator, are dropped), its combining
// marks composed (ComposeNfc), so that a name made on a system that spells
// them apart matches the name on the disk.
std::string CropKey(std::string_view path, const std::string& inputFolder = {});

// Crop positions by key, sorted in one array (a crop file of millions of
// photos costs little more than its text) that copies share; each key once.
class CropTable {
 public:
  using Entry = std::pair<std::string, double>;
  using const_iterator = std::vector<Entry>::const_iterator;
  using iterator = const_iterator;
  CropTable() = default;
  // Of equal keys the first is kept; entries in key order, each key once,
  // are taken as they are.
  explicit CropTable(std::vector<Entry> entries);
  // As the window holds them. NOLINTNEXTLINE(google-explicit-constructor)
  CropTable(const std::map<std::string, double>& positions);

  const double* Find(std::string_view key) const;
  double at(std::string_view key) const;  // std::out_of_range when not there
  bool empty() const { return Entries().empty(); }
  std::size_t size() const { return Entries().size(); }
  const_iterator begin() const { return Entries().begin(); }
  const_iterator end() const { return Entries().end(); }
  friend bool operator==(const CropTable& a, const CropTable& b) {
    return a.Entries() == b.Entries();
  }

 private:
  const std::vector<Entry>& Entries() const;
  std::shared_ptr<const std::vector<Entry>> entries_;  // in key-byte order; none when empty
};

// Where each photo's trim sits along the axis it shortens: 0 at the top
// (or left) edge, 1 at the bottom (or right), 0.5 in the centre, every byte
// as a centred trim. Fixed for the whole run.
struct CropPositions {
  double general = 0.5;  // for every photo not in `byPath`
  // By CropKey of the photo's path relative to the input folder
  // ("sub/a.jpg").
  CropTable byPath;
  // Photos named in `byPath` that the scan does not list stop the run
  // before any photo (Notice::UnknownCrops).
  bool strict = false;
  double For(const std::string& relativePath) const {
    if (byPath.empty()) return general;
    const double* found = byPath.Find(CropKey(relativePath));
    return found != nullptr ? *found : general;
  }
  friend bool operator==(const CropPositions&, const CropPositions&) = default;
};

// One of `count` parts into which runs of the same folder split its photos,
// so that several processes or machines can share the work: a photo belongs
// to part (h mod count) + 1, h being the FNV-1a 64-bit hash of the bytes of
// its path relative to the input folder ("sub/a.jpg"). A photo's part
// depends on its path alone, so adding or removing other photos moves no
// photo to another part. Fixed for the whole run.
struct Shard {
  int index = 1;  // 1 to count
  int count = 1;
  bool Takes(const std::string& relativePath) const {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : relativePath) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    }
    return count <= 1 ||
           hash % static_cast<std::uint64_t>(count) == static_cast<std::uint64_t>(index - 1);
  }
  friend bool operator==(const Shard&, const Shard&) = default;
};

// The options of one press of Run. The folders, the size and the scan's
// reach are fixed for the whole run; `photo` holds the per-photo options as
// they stood at the press, which the run's checks look at.
struct RunOptions {
  std::string inputFolder;       // path bytes, as the window holds them
  std::string outputFolder;      // path bytes, as the window holds them
  LongShort target{2000, 1401};  // (L, S) of the size at its resolution
  bool subfolders = true;        // scan the subfolders too
  bool allJpegNames = false;     // take ".jpeg", ".jpe" and ".jfif" files besides ".jpg"
  // Take those and ".heic", ".heif" and ".png" files too, each read by the
  // reader its first bytes call for, and name every output ".jpg".
  bool allPhotos = false;
  // Photos decoded at once: up to this many are decoded ahead of the one in
  // hand on worker threads; 1 decodes each at its turn, 0 takes one per core.
  int jobs = 0;
  PhotoOptions photo;
  PrintOptions print;
  CropPositions crops;
  // The part of the scanned photos this run takes; the others are neither
  // listed nor counted.
  Shard shard;
};

}  // namespace quorvale

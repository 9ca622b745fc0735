#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "folders/FolderScan.h"
#include "platform/FileSystem.h"
#include "support/Sandbox.h"
#include "support/Unprivileged.h"

namespace quorvale {
namespace {

namespace fs = std::filesystem;
using testing::Sandbox;

struct ScanResult {
  PathList list;
  ScanCounts counts;
  UnlistedFolders unlisted;
};

ScanResult Scan(const std::string& folder, const ScanRules& rules = {}) {
  ScanResult result;
  CollectFilesRecursive(folder, rules, result.list, result.counts, &result.unlisted);
  return result;
}

void ExpectCounts(const ScanCounts& counts, int folders, int files, int jpegs) {
  EXPECT_EQ(counts.SubfolderCount, folders);
  EXPECT_EQ(counts.FileCount, files);
  EXPECT_EQ(counts.JpegCount, jpegs);
}

class FolderScan : public ::testing::Test {
 protected:
  Sandbox box;

  void FillExampleTree() const {
    box.Fill(
        {"Photos/a.jpg", "Photos/b.JPG", "Photos/c.jpeg", "Photos/notes.txt", "Photos/sub/d.jpg"});
  }
};

TEST_F(FolderScan, ExampleTreeWithSubfolders) {
  FillExampleTree();
  const ScanResult r = Scan(box.Path("Photos"));
  EXPECT_EQ(r.list, (PathList{box.Path("Photos/a.jpg"), box.Path("Photos/b.JPG"),
                              box.Path("Photos/sub/d.jpg")}));
  ExpectCounts(r.counts, 1, 5, 3);
}

TEST_F(FolderScan, ExampleTreeWithoutSubfolders) {
  FillExampleTree();
  const ScanResult r = Scan(box.Path("Photos"), {.subfolders = false, .excluded = std::nullopt});
  EXPECT_EQ(r.list, (PathList{box.Path("Photos/a.jpg"), box.Path("Photos/b.JPG")}));
  ExpectCounts(r.counts, 1, 4, 2);
}

TEST_F(FolderScan, TrailingSeparatorGivesTheSameEntries) {
  FillExampleTree();
  const ScanResult plain = Scan(box.Path("Photos"));
  const ScanResult slashed = Scan(box.Path("Photos/"));
  EXPECT_EQ(plain.list, slashed.list);
  ExpectCounts(slashed.counts, 1, 5, 3);
}

TEST_F(FolderScan, EntriesBeginWithTheFolderTextByteForByte) {
  box.Fill({"x/a.jpg"});
  const std::string given = box.Root() + "/./x";
  const ScanResult r = Scan(given);
  EXPECT_EQ(r.list, (PathList{given + "/a.jpg"}));
}

// ".jpg" is the rule; the other JPEG names, HEIC and PNG names are each
// counted as passed over, and listed when the rules take them.
TEST_F(FolderScan, EachKindOfNameIsListedByItsRuleAndCountedOtherwise) {
  enum Kind { Jpg, OtherJpeg, Heif, Png, None };
  struct Case {
    const char* name;
    Kind kind;
  };
  // In name-byte order, as the listing delivers them.
  const std::vector<Case> cases = {
      {".JPG", Jpg},         {".Jpg", Jpg},    {".jpe", OtherJpeg},   {".jpeg", OtherJpeg},
      {".jpg", Jpg},         {"a.HEIC", Heif}, {"a.JFIF", OtherJpeg}, {"a.heic.txt", None},
      {"a.heif", Heif},      {"a.jp", None},   {"a.jpg.txt", None},   {"a.jpgx", None},
      {"a.pn", None},        {"a.png", Png},   {"b.PnG", Png},        {"b.jPg", Jpg},
      {"c.JPEG", OtherJpeg}, {"d.jfi", None},  {"jpg", None},         {"photo jpg", None},
      {"png", None},         {"x.gif", None},
  };
  for (const Case& c : cases) box.Fill({std::string("in/") + c.name});
  struct Rules {
    const char* label;
    bool allJpegNames;
    bool allPhotos;
  };
  for (const Rules& rules :
       {Rules{".jpg alone", false, false}, Rules{"all JPEG names", true, false},
        Rules{"all photos", false, true}, Rules{"both", true, true}}) {
    SCOPED_TRACE(rules.label);
    const ScanResult r = Scan(box.Path("in"), ScanRules{.subfolders = true,
                                                        .excluded = std::nullopt,
                                                        .allJpegNames = rules.allJpegNames,
                                                        .allPhotos = rules.allPhotos});
    PathList expected;
    int passed[None] = {};
    for (const Case& c : cases) {
      const bool listed = c.kind == Jpg ||
                          (c.kind == OtherJpeg && (rules.allJpegNames || rules.allPhotos)) ||
                          ((c.kind == Heif || c.kind == Png) && rules.allPhotos);
      if (listed) expected.push_back(box.Path(std::string("in/") + c.name));
      if (!listed && c.kind != None) ++passed[c.kind];
    }
    EXPECT_EQ(r.list, expected);
    ExpectCounts(r.counts, 0, static_cast<int>(cases.size()), static_cast<int>(expected.size()));
    EXPECT_EQ(r.counts.OtherJpegNameCount, passed[OtherJpeg]);
    EXPECT_EQ(r.counts.HeifNameCount, passed[Heif]);
    EXPECT_EQ(r.counts.PngNameCount, passed[Png]);
  }
}

TEST_F(FolderScan, FolderNamedLikeAPhotoIsEnteredNeverListed) {
  box.Fill({"in/x.jpg/inner.jpg", "in/y.JPG/"});
  const ScanResult r = Scan(box.Path("in"));
  EXPECT_EQ(r.list, (PathList{box.Path("in/x.jpg/inner.jpg")}));
  ExpectCounts(r.counts, 2, 1, 1);
}

TEST_F(FolderScan, EmptyFolderGivesNothing) {
  box.Fill({"empty/"});
  const ScanResult r = Scan(box.Path("empty"));
  EXPECT_TRUE(r.list.empty());
  ExpectCounts(r.counts, 0, 0, 0);
}

TEST_F(FolderScan, MissingFolderOrFileGivesNothing) {
  box.Fill({"photo.jpg"});
  for (const std::string& folder :
       {box.Path("missing"), box.Path("missing/"), box.Path("photo.jpg"), std::string()}) {
    const ScanResult r = Scan(folder);
    EXPECT_TRUE(r.list.empty()) << folder;
    ExpectCounts(r.counts, 0, 0, 0);
  }
}

TEST_F(FolderScan, HiddenFilesAndFoldersCount) {
  box.Fill({"in/.hidden.jpg", "in/.cache/x.jpg", "in/.profile"});
  const ScanResult r = Scan(box.Path("in"));
  EXPECT_EQ(r.list, (PathList{box.Path("in/.cache/x.jpg"), box.Path("in/.hidden.jpg")}));
  ExpectCounts(r.counts, 1, 3, 2);
}

TEST_F(FolderScan, SubfolderContentIsInsertedWhereItsEntryIsMet) {
  box.Fill({"in/z.jpg", "in/a.jpg", "in/B.jpg", "in/m/z.jpg", "in/m/x.jpg", "in/m/n/y.jpg",
            "in/m/n/deeper/w.jpg", "in/m/o.txt"});
  const ScanResult r = Scan(box.Path("in"));
  EXPECT_EQ(r.list,
            (PathList{box.Path("in/B.jpg"), box.Path("in/a.jpg"), box.Path("in/m/n/deeper/w.jpg"),
                      box.Path("in/m/n/y.jpg"), box.Path("in/m/x.jpg"), box.Path("in/m/z.jpg"),
                      box.Path("in/z.jpg")}));
  ExpectCounts(r.counts, 3, 8, 7);
}

TEST_F(FolderScan, JapaneseNamesAndBlanksAreKept) {
  box.Fill({"写真 2008/旅行 京都/一枚目.JPG", "写真 2008/表.jpg", "写真 2008/ メモ .txt"});
  const ScanResult r = Scan(box.Path("写真 2008"));
  EXPECT_EQ(r.list,
            (PathList{box.Path("写真 2008/旅行 京都/一枚目.JPG"), box.Path("写真 2008/表.jpg")}));
  ExpectCounts(r.counts, 1, 3, 2);
}

TEST_F(FolderScan, ShiftJisNameEndingInBackslashByteGetsOneSeparator) {
  // 表 in Shift-JIS is 0x95 0x5C; on this file system it is just two bytes.
  const std::string hyo = "\x95\x5C";
  box.Fill({hyo + "/a.jpg", hyo + "/" + hyo + "/b.jpg"});
  const ScanResult r = Scan(box.Path(hyo));
  EXPECT_EQ(r.list, (PathList{box.Path(hyo + "/a.jpg"), box.Path(hyo + "/" + hyo + "/b.jpg")}));
}

TEST_F(FolderScan, LinkBackUpTheTreeIsCountedButNotEntered) {
  box.Fill({"in/a/p.jpg", "in/q.jpg"});
  fs::create_directory_symlink(box.Path("in"), box.Path("in/a/up"));
  fs::create_directory_symlink(box.Path("in/a"), box.Path("in/a/self"));
  const ScanResult r = Scan(box.Path("in"));
  EXPECT_EQ(r.list, (PathList{box.Path("in/a/p.jpg"), box.Path("in/q.jpg")}));
  ExpectCounts(r.counts, 3, 2, 2);
}

TEST_F(FolderScan, StartFolderReachedThroughALinkIsStillOnTheWalk) {
  box.Fill({"real/p.jpg"});
  fs::create_directory_symlink(box.Path("real"), box.Path("alias"));
  fs::create_directory_symlink(box.Path("real"), box.Path("real/back"));
  const ScanResult r = Scan(box.Path("alias"));
  EXPECT_EQ(r.list, (PathList{box.Path("alias/p.jpg")}));
  ExpectCounts(r.counts, 1, 1, 1);
}

TEST_F(FolderScan, LinkToASiblingIsEntered) {
  box.Fill({"in/a/x.jpg", "in/b/"});
  fs::create_directory_symlink(box.Path("in/a"), box.Path("in/b/to-a"));
  const ScanResult r = Scan(box.Path("in"));
  EXPECT_EQ(r.list, (PathList{box.Path("in/a/x.jpg"), box.Path("in/b/to-a/x.jpg")}));
  ExpectCounts(r.counts, 3, 2, 2);
}

TEST_F(FolderScan, LinksToFilesAndDanglingLinksAreFiles) {
  box.Fill({"in/real.jpg"});
  fs::create_symlink(box.Path("in/real.jpg"), box.Path("in/to-real.jpg"));
  fs::create_symlink(box.Path("in/gone"), box.Path("in/dangling.jpg"));
  const ScanResult r = Scan(box.Path("in"));
  EXPECT_EQ(r.list, (PathList{box.Path("in/dangling.jpg"), box.Path("in/real.jpg"),
                              box.Path("in/to-real.jpg")}));
  ExpectCounts(r.counts, 0, 3, 3);
}

TEST_F(FolderScan, UnlistableSubfolderIsStillCounted) {
  box.Fill({"in/locked/x.jpg", "in/y.jpg"});
  fs::permissions(box.Path("in/locked"), fs::perms::none);
  testing::RunUnprivileged(box, [&] {
    const ScanResult r = Scan(box.Path("in"));
    EXPECT_EQ(r.list, (PathList{box.Path("in/y.jpg")}));
    ExpectCounts(r.counts, 1, 1, 1);
    EXPECT_EQ(r.unlisted, (UnlistedFolders{{box.Path("in/locked"), EACCES}}));
    // The window's scan keeps them too.
    EXPECT_EQ(ScanInputFolder(box.Path("in"), true).unlisted, r.unlisted);
  });
}

TEST_F(FolderScan, CountersAndListAreOnlyAddedTo) {
  FillExampleTree();
  ScanResult r;
  r.list = {"earlier"};
  r.counts = {10, 20, 30};
  CollectFilesRecursive(box.Path("Photos"), {}, r.list, r.counts);
  EXPECT_EQ(r.list, (PathList{"earlier", box.Path("Photos/a.jpg"), box.Path("Photos/b.JPG"),
                              box.Path("Photos/sub/d.jpg")}));
  ExpectCounts(r.counts, 11, 25, 33);
}

// The output folder inside the input tree: neither its photos nor the
// folder itself are seen, whichever way it is reached, and whether or not
// the subfolders are walked.
TEST_F(FolderScan, ExcludedFolderIsNeitherListedNorCounted) {
  box.Fill({"in/a.jpg", "in/out/x.jpg", "in/out/deep/y.jpg", "in/sub/b.jpg", "in/sub/c.txt",
            "elsewhere/"});
  fs::create_directory_symlink(box.Path("in/out"), box.Path("in/sub/to-out"));
  const std::optional<FolderId> out = IdentifyFolder(box.Path("in/out"));
  const std::optional<FolderId> elsewhere = IdentifyFolder(box.Path("elsewhere"));
  ASSERT_TRUE(out && elsewhere);
  struct Row {
    const char* why;
    ScanRules rules;
    PathList list;
    int folders, files, jpegs;
  } rows[] = {
      {"nothing excluded",
       {},
       {box.Path("in/a.jpg"), box.Path("in/out/deep/y.jpg"), box.Path("in/out/x.jpg"),
        box.Path("in/sub/b.jpg"), box.Path("in/sub/to-out/deep/y.jpg"),
        box.Path("in/sub/to-out/x.jpg")},
       5,
       7,
       6},
      {"output folder excluded",
       {.excluded = out},
       {box.Path("in/a.jpg"), box.Path("in/sub/b.jpg")},
       1,
       3,
       2},
      {"output folder excluded, no subfolders",
       {.subfolders = false, .excluded = out},
       {box.Path("in/a.jpg")},
       1,
       1,
       1},
      {"a folder outside the tree excluded, no subfolders",
       {.subfolders = false, .excluded = elsewhere},
       {box.Path("in/a.jpg")},
       2,
       1,
       1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    const ScanResult r = Scan(box.Path("in"), row.rules);
    EXPECT_EQ(r.list, row.list);
    ExpectCounts(r.counts, row.folders, row.files, row.jpegs);
  }
}

TEST(ScanInputFolder, CountsFromZeroAndListsEveryPhoto) {
  Sandbox box;
  box.Fill({"in/a.jpg", "in/b.txt", "in/s/c.JPG"});
  const struct {
    bool subfolders;
    PathList files;
    int folders, allFiles, jpegs;
  } rows[] = {
      {true, {box.Path("in/a.jpg"), box.Path("in/s/c.JPG")}, 1, 3, 2},
      {false, {box.Path("in/a.jpg")}, 1, 2, 1},
  };
  for (const auto& row : rows) {
    const FolderListing listing = ScanInputFolder(box.Path("in"), row.subfolders);
    EXPECT_EQ(listing.files, row.files) << row.subfolders;
    ExpectCounts(listing.counts, row.folders, row.allFiles, row.jpegs);
  }
}

TEST(ScanInputFolder, MissingFolderGivesNothingAndZeros) {
  Sandbox box;
  const FolderListing listing = ScanInputFolder(box.Path("missing"), true);
  EXPECT_TRUE(listing.files.empty());
  ExpectCounts(listing.counts, 0, 0, 0);
}

TEST(ScanSummaryText, NamesTheThreeCounts) {
  EXPECT_EQ(ScanSummaryText(ScanCounts{1, 5, 3}),
            "サブフォルダ数 1  全ファイル数 5   JPEGファイル数 3");
  EXPECT_EQ(ScanSummaryText(ScanCounts{0, 123456, 2147483647}),
            "サブフォルダ数 0  全ファイル数 123456   JPEGファイル数 2147483647");
}

}  // namespace
}  // namespace quorvale

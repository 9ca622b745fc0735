#include "pixels/Orientation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/CodedBitmap.h"
#include "support/Orientations.h"

namespace quorvale {
namespace {

using testing::CodedPhoto;
using testing::Orientations;
using testing::ShownAt;
using testing::ShownPixel;
using testing::Stored;

// The photo as a camera with orientation `o` stores the upright `shown`.
Bitmap StoredAs(const Bitmap& shown, const Stored& o) {
  const int w = o.RowsAcross() ? shown.Width() : shown.Height();
  const int h = o.RowsAcross() ? shown.Height() : shown.Width();
  Bitmap stored(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const ShownPixel from = ShownAt(o, x, y, shown.Width(), shown.Height());
      std::memcpy(stored.Row(y) + 3 * x, shown.Row(from.y) + 3 * from.x, 3);
    }
  }
  return stored;
}

void ExpectSamePixels(const Bitmap& actual, const Bitmap& expected) {
  ASSERT_EQ(actual.Width(), expected.Width());
  ASSERT_EQ(actual.Height(), expected.Height());
  for (int y = 0; y < expected.Height(); ++y) {
    ASSERT_EQ(std::memcmp(actual.Row(y), expected.Row(y), 3 * expected.Width()), 0) << "row " << y;
  }
}

// Sizes with odd widths (row padding), a single row and column, and sides
// past the 32-pixel tiles of the turn.
TEST(ApplyOrientation, EveryStoredOrientationComesOutAsThePhotoIsShown) {
  const int sizes[][2] = {{1, 1}, {5, 3}, {3, 5}, {7, 1}, {1, 7}, {33, 65}, {130, 67}, {64, 64}};
  for (const auto& size : sizes) {
    const Bitmap shown = CodedPhoto(size[0], size[1]);
    for (const Stored& o : Orientations) {
      SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]) + ", orientation " +
                   std::to_string(o.orientation));
      Bitmap photo = StoredAs(shown, o);
      ApplyOrientation(photo, o.orientation);
      ExpectSamePixels(photo, shown);
      const OrientedSize turned = OrientedDimensions(StoredAs(shown, o).Width(),
                                                     StoredAs(shown, o).Height(), o.orientation);
      EXPECT_EQ(turned.width, shown.Width());
      EXPECT_EQ(turned.height, shown.Height());
    }
  }
}

// A trimmed bitmap starts inside its memory; the turn must follow its rows.
TEST(ApplyOrientation, WorksOnACroppedBitmap) {
  const Bitmap shown = CodedPhoto(9, 6);
  for (const Stored& o : Orientations) {
    SCOPED_TRACE(o.orientation);
    const Bitmap stored = StoredAs(shown, o);
    Bitmap framed(stored.Width() + 3, stored.Height() + 2);
    framed.CopyRect(stored, 0, 0, stored.Width(), stored.Height(), 2, 1);
    framed.Crop(2, 1, stored.Width(), stored.Height());
    ApplyOrientation(framed, o.orientation);
    ExpectSamePixels(framed, shown);
  }
}

TEST(ApplyOrientation, ValuesOutsideOneToEightLeaveThePhoto) {
  for (const int value : {0, 9, -1, 255}) {
    const Bitmap original = CodedPhoto(4, 3);
    Bitmap photo = original;
    ApplyOrientation(photo, value);
    ExpectSamePixels(photo, original);
    const OrientedSize size = OrientedDimensions(4, 3, value);
    EXPECT_EQ(size.width, 4);
    EXPECT_EQ(size.height, 3);
  }
  Bitmap empty;
  ApplyOrientation(empty, 6);
  EXPECT_EQ(empty.Width(), 0);
  EXPECT_EQ(empty.Height(), 0);
}

}  // namespace
}  // namespace quorvale

#include <gtest/gtest.h>

#include "model/cellstore.h"

using namespace trevolo;

// A copy, made by construction or by assignment, holds the same cells and
// clears them like the original: the rows it knows to be written include
// the original's, and its stamps are its own.
TEST(CellStore, CopiesClearTheRowsTheOriginalWrote)
{
    CellStore original(3, 10);
    original.setText(2, 7, "9.5");
    original.setFlag(0, 7, true);
    for (const bool assigned : {false, true}) {
        CellStore copy(1, 2);
        if (assigned)
            copy = original;
        else
            copy = CellStore(original);
        EXPECT_EQ(copy.text(2, 7), "9.5");
        EXPECT_NE(copy.rowStamp(7), original.rowStamp(7));
        copy.clearRows(1);
        EXPECT_EQ(copy.text(2, 7), "") << assigned;
        EXPECT_FALSE(copy.flag(0, 7)) << assigned;
        EXPECT_EQ(original.text(2, 7), "9.5");
    }
}

#include <gtest/gtest.h>

#include "app/gtk_dialog.h"

TEST(GtkDialog, Placeholder) {
    SUCCEED();
}

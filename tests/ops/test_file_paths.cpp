#include "ops/FilePaths.h"

#include <gtest/gtest.h>

namespace tarsion {
namespace {

struct PathCase {
    const char* startDirectory;
    const char* input;
    const char* expected;
};

TEST(FilePaths, StoredNameDropsTheStartDirectoryOnlyAtAFolderBoundary) {
    const PathCase cases[] = {
        {"/home/u/work", "/home/u/work/lp.coe", "lp.coe"},
        {"/home/u/work", "/home/u/work/sub/lp.coe", "sub/lp.coe"},
        {"/home/u/work/", "/home/u/work/lp.coe", "lp.coe"},
        {"/", "/home/u/lp.coe", "home/u/lp.coe"},
        {"/", "/lp.coe", "lp.coe"},
        // A sibling folder whose name begins like the start directory.
        {"/home/u/work", "/home/u/work2/c.hex", "/home/u/work2/c.hex"},
        {"/home/u/work", "/home/u/workbench", "/home/u/workbench"},
        {"/home/u/work", "/home/u/work", "/home/u/work"},
        {"/home/u/work", "/home/u/work/", "/home/u/work/"},
        {"/home/u/work", "/other/lp.coe", "/other/lp.coe"},
        {"", "/home/u/lp.coe", "/home/u/lp.coe"},
    };
    for (const PathCase& c : cases)
        EXPECT_EQ(StoredFileName(c.startDirectory, c.input), c.expected)
            << c.startDirectory << " " << c.input;
}

TEST(FilePaths, LoaderPathJoinsRelativeNamesWithOneSlash) {
    const PathCase cases[] = {
        {"/home/u/work", "lp.coe", "/home/u/work/lp.coe"}, {"/home/u/work/", "lp.coe", "/home/u/work/lp.coe"},
        {"/", "home/u/lp.coe", "/home/u/lp.coe"},          {"/", "lp.coe  ", "/lp.coe"},
        {"/home/u/work", "/abs/lp.coe ", "/abs/lp.coe"},   {"", "lp.coe", "/lp.coe"},
    };
    for (const PathCase& c : cases)
        EXPECT_EQ(ResolveLoaderPath(c.startDirectory, c.input), c.expected)
            << c.startDirectory << " " << c.input;
}

TEST(FilePaths, StoredNamesLeadBackToTheSameFile) {
    for (const char* start : {"/", "/home/u/work", "/home/u/work/"}) {
        for (const char* path : {"/home/u/work/lp.coe", "/home/u/work2/c.hex", "/lp.coe"})
            EXPECT_EQ(ResolveLoaderPath(start, StoredFileName(start, path)), path) << start << " " << path;
    }
}

TEST(FilePaths, DumpNameIsTheOwnNameOnlyDirectlyInTheStartDirectory) {
    const PathCase cases[] = {
        {"/home/u/work", "/home/u/work/i.ram", "i.ram"},
        {"/home/u/work/", "/home/u/work/i.ram", "i.ram"},
        {"/", "/i.ram", "i.ram"},
        {"/", "/home/i.ram", "/home/i.ram"},
        {"/home/u/work", "/home/u/work/sub/i.ram", "/home/u/work/sub/i.ram"},
        {"/home/u/work", "/home/u/work2/i.ram", "/home/u/work2/i.ram"},
        {"/home/u/work", "/home/u/wor/i.ram", "/home/u/wor/i.ram"},
        {"/home/u/work", "i.ram", "i.ram"},
        {"", "/i.ram", "/i.ram"},
    };
    for (const PathCase& c : cases)
        EXPECT_EQ(DumpFileName(c.startDirectory, c.input), c.expected) << c.startDirectory << " " << c.input;
}

} // namespace
} // namespace tarsion

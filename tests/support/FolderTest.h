#pragma once
// A test that runs in a fresh folder of its own holding "assets/data/", with the save directory
// pointed at "appdata/" inside it and the trace state reset.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "core/Trace.h"

namespace testsupport {

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.Enter();
        fs::create_directories(folder.root / "assets/data");
        TraceReset();
    }

    // A path below assets/data/.
    fs::path Data(const std::string& relative) const { return folder.root / "assets/data" / relative; }
    // A path below the save directory.
    fs::path Save(const std::string& relative) const { return saveDir.Dir() / relative; }

    ScratchDir folder{"test"};
    TestSaveDir saveDir{folder.root / "appdata"};
};

} // namespace testsupport

// There is one engine per process: the output pair and the plug-ins'
// variables are module-wide, so a second engine is refused while one lives,
// and allowed again once it is gone.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "support/test_env.h"
#include "wave_file.h"

TEST(SingleEngine, SecondEngineIsRefusedWhileOneLives) {
    WindowInbox inbox;
    auto first = std::make_unique<CWaveFile>(inbox.Target());
    EXPECT_THROW(CWaveFile second(inbox.Target()), std::logic_error);
    // The refused one took nothing: the first still works.
    EXPECT_EQ(first->State(), WS_IDLE);
    first.reset();
    EXPECT_NO_THROW(CWaveFile third(inbox.Target()));
}

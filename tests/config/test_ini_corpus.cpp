// The INI fuzzer's seeds, replayed in the normal suite.

#include "CorpusReplay.h"

TEST(IniFuzzCorpus, EverySeedPasses) {
    ReplayCorpus(RM7UX_INI_CORPUS);
}

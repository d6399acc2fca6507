// The configuration-file fuzzer's seeds, replayed in the normal suite.

#include "CorpusReplay.h"

TEST(FlashFileFuzzCorpus, EverySeedPasses) {
    ReplayCorpus(RM7UX_FLASHFILE_CORPUS);
}

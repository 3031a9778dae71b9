// Which failures are tried again, and how long each wait before a retry is.
#include <gtest/gtest.h>

#include "commands/retry.h"
#include "ftp/call_outcome.h"

using namespace dorvan;

TEST(Retry, PassingRefusalsAndDoublingWaits) {
    for (int code : {421, 425, 426, 450, 451, 452}) EXPECT_EQ(refusalKind(code), OutcomeKind::refusedTransient) << code;
    for (int code : {0, 200, 332, 500, 501, 530, 550, 552, 553, 453, 420})
        EXPECT_EQ(refusalKind(code), OutcomeKind::refusedPermanent) << code;
    EXPECT_EQ(replyCode("426 Transfer aborted."), 426);
    EXPECT_EQ(replyCode("42x"), 0);
    EXPECT_EQ(replyCode("Timeout: no reply"), 0);

    struct Waits {
        int first;
        std::vector<int> expected;  // before retries 1, 2, ...
    };
    for (const Waits& w : {Waits{2, {2, 4, 8, 16, 32, 60, 60}}, Waits{1, {1, 2, 4}}, Waits{45, {45, 60, 60}},
                           Waits{60, {60, 60}}, Waits{600, {600, 600}}}) {
        for (size_t k = 0; k < w.expected.size(); ++k)
            EXPECT_EQ(retryWait({.retries = 10, .firstWait = w.first}, static_cast<int>(k) + 1), w.expected[k])
                << w.first << " retry " << k + 1;
    }
}

// Soak of the link channel, see link_soak.h.

#include "link_soak.h"

INSTANTIATE_TEST_SUITE_P(Link, LinkSoak,
                         testing::Values(SoakCase{127, linkpump::Policy::Serial, 1, 3000},
                    SoakCase{127, linkpump::Policy::Serial, 2, 3000},
                    SoakCase{127, linkpump::Policy::Serial, 3, 3000}),
                         linksoak::Name);

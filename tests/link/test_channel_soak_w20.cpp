// Soak of the link channel, see link_soak.h.

#include "link_soak.h"

INSTANTIATE_TEST_SUITE_P(Link, LinkSoak,
                         testing::Values(SoakCase{20, linkpump::Policy::Serial, 1},
                    SoakCase{20, linkpump::Policy::Serial, 2},
                    SoakCase{20, linkpump::Policy::Serial, 3},
                    SoakCase{20, linkpump::Policy::Udp, 1},
                    SoakCase{20, linkpump::Policy::Udp, 2},
                    SoakCase{20, linkpump::Policy::Udp, 3}),
                         linksoak::Name);

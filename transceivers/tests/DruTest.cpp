// The ISA card as the installation finds it: the card simulator installed
// as the card's driver by the driver tool, as an operator would.
#include "transceivers/DRU.h"

#include "platform/Registry.h"
#include "platform/TempMachine.h"
#include "transceivers/tests/DruDriverInstall.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Probe
{
    bool found = false;
    WORD id = 0;
    DWORD io = 0, dma = 0, irq = 0;
};

Probe ProbeCard()
{
    Probe p;
    p.found = CDRU::ReadDriverParameters(&p.id, &p.io, &p.dma, &p.irq);
    return p;
}

}  // namespace

TEST(DruProbe, FindsTheCardAtItsAddressWithTheDriversSettings)
{
    CTempMachine machine;
    EXPECT_FALSE(ProbeCard().found) << "no driver, no card";

    ASSERT_EQ(InstallDriver({"io=210", "dma=6", "irq=9"}), CFenvoil::kExitDone);
    Probe p = ProbeCard();
    EXPECT_TRUE(p.found);
    EXPECT_EQ(p.id, 0x0001);
    EXPECT_EQ(p.io, 0x210u);
    EXPECT_EQ(p.dma, 6u);
    EXPECT_EQ(p.irq, 9u);
    // Only the id asked for.
    WORD id = 0;
    EXPECT_TRUE(CDRU::ReadDriverParameters(&id, nullptr, nullptr, nullptr));
    EXPECT_EQ(id, 0x0001);

    // The settings gone while the driver runs: the card still answers, and
    // every setting reads as none.
    ASSERT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, CDRU::kParametersKey), ERROR_SUCCESS);
    p = ProbeCard();
    EXPECT_TRUE(p.found);
    EXPECT_EQ(p.io, static_cast<DWORD>(-1));
    EXPECT_EQ(p.dma, static_cast<DWORD>(-1));
    EXPECT_EQ(p.irq, static_cast<DWORD>(-1));
}

TEST(DruProbe, ADriverAtAnotherAddressOrWithoutACardFindsNone)
{
    CTempMachine machine;
    ASSERT_EQ(InstallDriver({"io=300", "dma=6", "irq=9"}), CFenvoil::kExitDone);
    Probe p{false, 7, 7, 7, 7};
    p.found = CDRU::ReadDriverParameters(&p.id, &p.io, &p.dma, &p.irq);
    EXPECT_FALSE(p.found);
    EXPECT_EQ(p.id, 7) << "nothing is read when no card answers";
    EXPECT_EQ(p.io, 7u);

    ASSERT_EQ(InstallDriver({"remove"}), CFenvoil::kExitDone);
    ASSERT_EQ(InstallDriver({"io=210"}, "--no-card"), CFenvoil::kExitDone);
    EXPECT_FALSE(ProbeCard().found);
}

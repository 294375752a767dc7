// Decodes the same report bytes with the reader and with Google's protoc, an
// implementation of the wire format independent of protobuf-c, and compares
// what both found.
#include "ProtocFields.h"
#include "ReportBuilder.h"

#include <gtest/gtest.h>

namespace crashcapture {
namespace {

using testing::ReportBuilder;

// The builder's complete report, with every optional section and edge values added.
TEST(ProtocAgreement, ReaderAndProtocSeeTheSameReport) {
    ReportBuilder rich;
    rich.setException("std::out_of_range", "vector::_M_range_check: __n (which is 7) >= this->size() (which is 3)",
                      {{0x7ffff7e5a4a1}, {ReportBuilder::kExecutableBase + 0x4711}});
    rich.setMachException(1, 3);
    rich.setCustomData("user=\"alice\"\n\x01\x02");
    rich.addThread(7, false, {{~0ull - 1, "máquina", 0x10}}, {{"r15", ~0ull}});
    rich.addImage(0, ~0ull, "/usr/lib/libß.so");
    const auto file = rich.file();
    const auto report = CrashReport::initWithData(file);
    ASSERT_TRUE(report.has_value());
    auto protoc = testing::decodeWithProtoc(file);
    EXPECT_EQ(protoc["system_info.architecture"], std::vector<std::string>{"X86_64"});
    for (const auto& [key, values] : testing::fieldsOf(*report)) EXPECT_EQ(protoc[key], values) << key;
}

} // namespace
} // namespace crashcapture

#include "ReportBuilder.h"
#include "beacon/archive/ArchiverUtil.h"
#include "beacon/crashes/formatter/ErrorLogFormatter.h"
#include "beacon/crashes/model/AppleErrorLog.h"
#include "beacon/crashes/model/CrashesArchiverUtil.h"
#include "beacon/crashes/model/ErrorAttachmentLog.h"
#include "beacon/crashes/model/ErrorReport.h"
#include "beacon/crashes/model/HandledErrorLog.h"
#include "beacon/crashes/model/WrapperException.h"
#include "beacon/model/LogContainer.h"
#include "beacon/testing/SampleDevices.h"

#include <gtest/gtest.h>

namespace beacon {
namespace {

using test::validDevice;

// The formatter's log of the sample crash report, with the fields only a
// session or a wrapper SDK fill in.
std::shared_ptr<AppleErrorLog> fullAppleErrorLog() {
    using crashcapture::testing::ReportBuilder;
    ReportBuilder builder;
    builder.setException("std::runtime_error", "boom", {{ReportBuilder::kExecutableBase + 0x99}});
    ErrorLogFormatter::setDeviceLookup([](std::optional<Date>) { return validDevice(); });
    auto log = ErrorLogFormatter::errorLogFromCrashReport(*crashcapture::CrashReport::initWithData(builder.file()));
    ErrorLogFormatter::setDeviceLookup(nullptr);
    log->sid = "B7F5B1E2-0000-4000-8000-000000000001";
    log->errorThreadName = "main";
    log->architecture = "x86_64";
    log->selectorRegisterValue = "count";
    auto wrapper = std::make_shared<WrapperExceptionModel>("System.Exception", "managed", "at Main()");
    wrapper->frames = std::vector<std::shared_ptr<StackFrame>>{};
    wrapper->wrapperSdkName = "zelvo.wrapper";
    auto inner = std::make_shared<WrapperExceptionModel>("Inner", std::nullopt, std::nullopt);
    inner->frames = std::vector<std::shared_ptr<StackFrame>>{};
    wrapper->innerExceptions = std::vector{inner};
    log->exception = wrapper;
    return log;
}

template <typename T> std::shared_ptr<T> roundTrip(const T& object) {
    CrashesArchiverUtil::addAllowedCrashesModuleClasses();
    auto bytes = ArchiverUtil::archiveKeyedData(object);
    EXPECT_TRUE(bytes.has_value());
    return bytes ? ArchiverUtil::unarchive<T>(*bytes) : nullptr;
}

// Whether the archived and read back object equals the original.
template <typename T> bool survivesArchiving(const T& object) {
    const auto copy = roundTrip(object);
    return copy && copy->isEqual(object);
}

TEST(ErrorLogModel, AppleErrorLogSurvivesArchivingAndComparesByValue) {
    auto log = fullAppleErrorLog();
    EXPECT_TRUE(log->isValid());
    auto copy = roundTrip(*log);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->isEqual(*log));
    EXPECT_EQ(copy->serializeToDictionary(), log->serializeToDictionary());

    // Every field counts for equality, down to nested frames and exceptions.
    const std::vector<void (*)(AppleErrorLog&)> changes = {
        [](AppleErrorLog& l) { l.fatal = false; },
        [](AppleErrorLog& l) { l.registers->at("rsp") = "0x3"; },
        [](AppleErrorLog& l) { (*(*l.threads)[0]->frames)[1]->code = "main + 13"; },
        [](AppleErrorLog& l) { (*l.threads)[0]->exception->message = "bang"; },
        [](AppleErrorLog& l) { (*l.exception->innerExceptions)[0]->type = "Other"; },
        [](AppleErrorLog& l) { (*l.binaries)[0]->architectureVariantId.reset(); },
        [](AppleErrorLog& l) { l.appLaunchTimestamp = Date(std::chrono::seconds(1)); },
        [](AppleErrorLog& l) { l.device->locale = "de_DE"; },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        auto changed = roundTrip(*log);
        changes[i](*changed);
        EXPECT_FALSE(changed->isEqual(*log)) << "change " << i;
    }
}

// The keys the formatter's full-report JSON does not show.
TEST(ErrorLogModel, AppleErrorLogJsonUsesTheWireKeys) {
    auto json = fullAppleErrorLog()->serializeToDictionary();
    EXPECT_EQ(json["exception"]["wrapperSdkName"], "zelvo.wrapper");
    EXPECT_EQ(json["exception"]["innerExceptions"][0]["type"], "Inner");
    EXPECT_EQ(json["selectorRegisterValue"], "count");

    AppleErrorLog bare;
    EXPECT_EQ(bare.serializeToDictionary()["fatal"], false); // always written
    EXPECT_FALSE(bare.serializeToDictionary().contains("threads"));
}

TEST(ErrorLogModel, ReportsTheFirstMissingRequiredField) {
    using Change = void (*)(AppleErrorLog&);
    const std::vector<std::pair<Change, std::string>> cases = {
        {[](AppleErrorLog& l) { l.errorId.reset(); }, "AppleErrorLog: \"id\" is not valid."},
        {[](AppleErrorLog& l) { l.processId.reset(); }, "AppleErrorLog: \"processId\" is not valid."},
        {[](AppleErrorLog& l) { l.processName.reset(); }, "AppleErrorLog: \"processName\" is not valid."},
        {[](AppleErrorLog& l) { l.primaryArchitectureId.reset(); },
         "AppleErrorLog: \"primaryArchitectureId\" is not valid."},
        {[](AppleErrorLog& l) { l.applicationPath.reset(); }, "AppleErrorLog: \"applicationPath\" is not valid."},
        {[](AppleErrorLog& l) { l.osExceptionType.reset(); }, "AppleErrorLog: \"osExceptionType\" is not valid."},
        {[](AppleErrorLog& l) { l.osExceptionCode.reset(); }, "AppleErrorLog: \"osExceptionCode\" is not valid."},
        {[](AppleErrorLog& l) { l.osExceptionAddress.reset(); }, "AppleErrorLog: \"osExceptionAddress\" is not valid."},
    };
    for (const auto& [change, message] : cases) {
        auto log = fullAppleErrorLog();
        change(*log);
        EXPECT_EQ(log->validationError(), message);
    }
    auto log = fullAppleErrorLog();
    log->errorId.reset();
    log->osExceptionAddress.reset();
    EXPECT_EQ(log->validationError(), "AppleErrorLog: \"id\" is not valid.");

    Thread thread;
    EXPECT_EQ(thread.validationError(), "Thread: \"id\" is not valid.");
    thread.threadId = 1;
    EXPECT_EQ(thread.validationError(), "Thread: \"frames\" is not valid.");
    thread.frames = std::vector<std::shared_ptr<StackFrame>>{};
    EXPECT_FALSE(thread.validationError().has_value());

    Binary binary;
    binary.binaryId = "x";
    binary.startAddress = "0x0";
    binary.endAddress = "0x1";
    binary.path = "/x";
    EXPECT_EQ(binary.validationError(), "Binary: \"name\" is not valid.");

    ExceptionModel model;
    EXPECT_EQ(model.validationError(), "ExceptionModel: \"type\" is not valid.");
    model.type = "E";
    EXPECT_EQ(model.validationError(), "ExceptionModel: \"frames\" is not valid.");
}

TEST(ErrorLogModel, HandledErrorLogAndAttachments) {
    auto handled = std::make_shared<HandledErrorLog>();
    handled->timestamp = Date(std::chrono::seconds(1700000000));
    handled->device = validDevice();
    handled->properties = std::map<std::string, std::string>{{"screen", "settings"}};
    EXPECT_EQ(handled->validationError(), "HandledErrorLog: \"id\" is not valid.");
    handled->errorId = "E1";
    EXPECT_EQ(handled->validationError(), "HandledErrorLog: \"exception\" is not valid.");
    handled->exception = std::make_shared<ExceptionModel>("std::logic_error", "bad state", std::nullopt);
    handled->exception->frames = std::vector<std::shared_ptr<StackFrame>>{};
    EXPECT_FALSE(handled->validationError().has_value());
    auto json = handled->serializeToDictionary();
    EXPECT_EQ(json["type"], "handledError");
    EXPECT_EQ(json["id"], "E1");
    EXPECT_EQ(json["properties"]["screen"], "settings");
    EXPECT_EQ(json["exception"]["type"], "std::logic_error");
    EXPECT_TRUE(survivesArchiving(*handled));

    auto text = ErrorAttachmentLog::attachmentWithText("héllo\n", "notes.txt");
    auto other = ErrorAttachmentLog::attachmentWithText("héllo\n", "notes.txt");
    EXPECT_EQ(text->attachmentId->size(), 36u);
    EXPECT_NE(text->attachmentId, other->attachmentId);
    text->timestamp = Date(std::chrono::seconds(1700000000));
    text->device = validDevice();
    EXPECT_EQ(text->validationError(), "ErrorAttachmentLog: \"errorId\" is not valid.");
    text->errorId = "8F2C1A3E-5560-4B7D-9A01-C4E23F10ABCD";
    EXPECT_FALSE(text->validationError().has_value());
    json = text->serializeToDictionary();
    EXPECT_EQ(json["type"], "errorAttachment");
    EXPECT_EQ(json["contentType"], "text/plain");
    EXPECT_EQ(json["fileName"], "notes.txt");
    EXPECT_EQ(json["data"], "aMOpbGxvCg==");
    EXPECT_EQ(text->data, (std::vector<std::uint8_t>{'h', 0xc3, 0xa9, 'l', 'l', 'o', '\n'}));
    EXPECT_TRUE(survivesArchiving(*text)); // equality covers the data
    for (std::size_t size : {0u, 1u, 2u, 3u, 4u, 5u}) {
        ErrorAttachmentLog binary(std::nullopt, std::vector<std::uint8_t>(size, 0xff), "application/octet-stream");
        binary.errorId = "E";
        EXPECT_TRUE(survivesArchiving(binary)) << size;
    }
    text->data.reset();
    EXPECT_EQ(text->validationError(), "ErrorAttachmentLog: \"data\" is not valid.");
}

TEST(ErrorLogModel, ErrorReportAndWrapperExceptionArchive) {
    auto log = fullAppleErrorLog();
    ErrorReport report = *ErrorLogFormatter::errorReportFromLog(*log);
    report.signal = "SIGKILL";
    report.appProcessIdentifier = 0xfffffffffu;
    EXPECT_TRUE(report.isAppKill());
    auto copy = roundTrip(report);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->isEqual(report));
    copy->appProcessIdentifier = 1;
    EXPECT_FALSE(copy->isEqual(report));

    WrapperException wrapper;
    wrapper.modelException = log->exception;
    wrapper.processId = 4242;
    wrapper.exceptionData = std::vector<std::uint8_t>{0, 1, 2, 0xfe};
    EXPECT_TRUE(survivesArchiving(wrapper));

    // A wrapper exception model is not equal to a plain one with the same fields.
    ExceptionModel plain("T", std::nullopt, std::nullopt);
    WrapperExceptionModel wrapped("T", std::nullopt, std::nullopt);
    EXPECT_FALSE(plain.isEqual(wrapped));
    EXPECT_FALSE(wrapped.isEqual(plain));
}

TEST(ErrorLogModel, LoadsFramesFromCallStackLines) {
    auto frames = ExceptionModel::loadStackTrace({
        "3   Zelvo   0x000000010a2b3c4d -[AppList activate:] + 42",
        "too short line",
        "",
    });
    using Fields = std::vector<std::optional<std::string>>;
    const auto fields = [](const StackFrame& f) {
        return Fields{f.fileName, f.address, f.frameClassName, f.methodName};
    };
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(fields(*frames[0]), (Fields{"Zelvo", "0x000000010a2b3c4d", "AppList", "activate:"}));

    auto fromException = ExceptionModel::initWithException(std::out_of_range("index 7"));
    EXPECT_EQ(fromException->type, "std::out_of_range");
    EXPECT_EQ(fromException->message, "index 7");
    EXPECT_TRUE(fromException->stackTrace.has_value());
    EXPECT_FALSE(fromException->validationError().has_value());

    // glibc's backtrace_symbols lines, with the user's folder taken out.
    auto glibc = ExceptionModel::loadStackTrace({
        "/home/alice/bin/zelvo(_ZN6beacon3runEv+0x1d) [0x55d4c0a1b2c3]",
        "/lib/x86_64-linux-gnu/libc.so.6(+0x29d90) [0x7f0011229d90]",
        "./zelvo() [0x401000]",
    });
    ASSERT_EQ(glibc.size(), 3u);
    EXPECT_EQ(fields(*glibc[0]), (Fields{"/home/USER/bin/zelvo", "0x55d4c0a1b2c3", std::nullopt, "beacon::run()"}));
    EXPECT_EQ(fields(*glibc[1]),
              (Fields{"/lib/x86_64-linux-gnu/libc.so.6", "0x7f0011229d90", std::nullopt, std::nullopt}));
    EXPECT_EQ(fields(*glibc[2]), (Fields{"./zelvo", "0x401000", std::nullopt, std::nullopt}));

    // A message with bytes that are not UTF-8 is repaired, and the log of it
    // serializes.
    auto damaged = ExceptionModel::initWithException(std::runtime_error("bad \xff byte"));
    EXPECT_EQ(damaged->message, "bad \xef\xbf\xbd byte");
    HandledErrorLog handled;
    handled.errorId = "8F2C1A3E-5560-4B7D-9A01-C4E23F10ABCD";
    handled.exception = damaged;
    const auto text = handled.serializeLog(false);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("bad \xef\xbf\xbd byte"), std::string::npos);
    // Damaged text set elsewhere costs neither the log nor its batch.
    auto raw = std::make_shared<HandledErrorLog>(handled);
    raw->userId = std::string("u\xff");
    const auto body = LogContainer(std::string("batch"), {raw}).serializeLog(false);
    ASSERT_TRUE(body);
    EXPECT_NE(body->find("u\xef\xbf\xbd"), std::string::npos);

    auto fromError = ExceptionModel::initWithError("com.zelvo.ErrorDomain", {{"reason", "disk full"}});
    EXPECT_EQ(fromError->type, "com.zelvo.ErrorDomain");
    EXPECT_EQ(fromError->message, R"({"reason":"disk full"})");
    EXPECT_FALSE(ExceptionModel::initWithError("d", {})->message.has_value());
}

} // namespace
} // namespace beacon

#include "ReportBuilder.h"

namespace crashcapture::testing {

namespace {

// Sets an optional field of a message and marks it present.
template <typename T, typename V> void set(protobuf_c_boolean& has, T& field, const V& value) {
    has = 1;
    field = value;
}

} // namespace

template <typename T> T* ReportBuilder::own(const T& value) {
    auto object = std::make_shared<T>(value);
    owned_.push_back(object);
    return object.get();
}

char* ReportBuilder::text(const std::string& value) { return strings_.emplace_back(value).data(); }

ReportBuilder::ReportBuilder()
    : message_(ZVCRASH_LOOSE__CRASH_REPORT__INIT), system_(ZVCRASH_LOOSE__CRASH_REPORT__SYSTEM_INFO__INIT),
      application_(ZVCRASH_LOOSE__CRASH_REPORT__APPLICATION_INFO__INIT),
      signal_(ZVCRASH_LOOSE__CRASH_REPORT__SIGNAL__INIT),
      mach_(ZVCRASH_LOOSE__CRASH_REPORT__SIGNAL__MACH_EXCEPTION__INIT),
      process_(ZVCRASH_LOOSE__CRASH_REPORT__PROCESS_INFO__INIT),
      machine_(ZVCRASH_LOOSE__CRASH_REPORT__MACHINE_INFO__INIT),
      machineProcessor_(ZVCRASH_LOOSE__CRASH_REPORT__PROCESSOR__INIT),
      reportInfo_(ZVCRASH_LOOSE__CRASH_REPORT__REPORT_INFO__INIT),
      exception_(ZVCRASH_LOOSE__CRASH_REPORT__EXCEPTION__INIT) {
    set(reportInfo_.has_user_requested, reportInfo_.user_requested, 0);
    setReportUUID({kReportUUID.begin(), kReportUUID.end()});
    message_.report_info = &reportInfo_;

    set(system_.has_operating_system, system_.operating_system,
        ZVCRASH_LOOSE__CRASH_REPORT__SYSTEM_INFO__OPERATING_SYSTEM__OS_UNKNOWN);
    system_.os_version = text("6.1.0-18-amd64");
    system_.os_build = text("#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1");
    set(system_.has_architecture, system_.architecture, ZVCRASH_LOOSE__ARCHITECTURE__X86_64);
    set(system_.has_timestamp, system_.timestamp, 1700000000); // 2023-11-14T22:13:20Z
    message_.system_info = &system_;

    machineProcessor_ = *processor(0x1000007, 3);
    machine_.model = text("ThinkPad X1 Carbon");
    machine_.processor = &machineProcessor_;
    set(machine_.has_processor_count, machine_.processor_count, 4);
    set(machine_.has_logical_processor_count, machine_.logical_processor_count, 8);
    message_.machine_info = &machine_;

    application_.identifier = text("com.zelvo.Zelvo");
    application_.version = text("42");
    application_.marketing_version = text("1.0.0");
    message_.application_info = &application_;

    process_.process_name = text("zelvo");
    set(process_.has_process_id, process_.process_id, 4242);
    process_.process_path = text("/home/alice/.local/bin/zelvo");
    process_.parent_process_name = text("systemd");
    set(process_.has_parent_process_id, process_.parent_process_id, 1);
    set(process_.has_native, process_.native, 1);
    set(process_.has_start_time, process_.start_time, 1699999000);
    message_.process_info = &process_;

    addThread(0, true,
              {{kExecutableBase + 0x1234, std::nullopt, 0},
               {kLibcBase + 0x29d90, "__libc_start_call_main", kLibcBase + 0x29d10}},
              {{"rip", kExecutableBase + 0x1234}, {"rsp", 0x7fffffffe000}, {"rsi", 0}});
    addThread(1, false, {{kLibcBase + 0x91117, "__futex_abstimed_wait_common", kLibcBase + 0x91080}});

    const std::array<std::uint8_t, 16> exeUUID = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                                                  0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};
    addImage(kExecutableBase, 0x20000, "/home/alice/.local/bin/zelvo", exeUUID, std::pair{0x1000007ull, 3ull});
    addImage(kLibcBase, 0x1c0000, "/usr/lib/x86_64-linux-gnu/libc.so.6", std::nullopt, std::pair{0x1000007ull, 3ull});
    addImage(kLibmBase, 0xf0000, "/usr/lib/x86_64-linux-gnu/libm.so.6", std::nullopt, std::pair{0x1000007ull, 3ull});

    signal_.name = text("SIGSEGV");
    signal_.code = text("SEGV_MAPERR");
    set(signal_.has_address, signal_.address, 0x10);
    message_.signal = &signal_;
}

ReportBuilder::Frame* ReportBuilder::frame(const FrameSpec& wanted) {
    Frame value = ZVCRASH_LOOSE__CRASH_REPORT__THREAD__STACK_FRAME__INIT;
    set(value.has_pc, value.pc, wanted.pc);
    if (wanted.symbol) {
        ZvcrashLoose__CrashReport__Symbol symbol = ZVCRASH_LOOSE__CRASH_REPORT__SYMBOL__INIT;
        symbol.name = text(*wanted.symbol);
        set(symbol.has_start_address, symbol.start_address, wanted.symbolStart);
        value.symbol = own(symbol);
    }
    return own(value);
}

ReportBuilder::Frame** ReportBuilder::frameList(const std::vector<FrameSpec>& frames, std::size_t& count) {
    auto& list = frameLists_.emplace_back();
    for (const auto& wanted : frames) list.push_back(frame(wanted));
    count = list.size();
    return list.data();
}

ZvcrashLoose__CrashReport__Processor* ReportBuilder::processor(std::uint64_t type, std::uint64_t subtype) {
    ZvcrashLoose__CrashReport__Processor value = ZVCRASH_LOOSE__CRASH_REPORT__PROCESSOR__INIT;
    set(value.has_encoding, value.encoding, ZVCRASH_LOOSE__CRASH_REPORT__PROCESSOR__TYPE_ENCODING__TYPE_ENCODING_MACH);
    set(value.has_type, value.type, type);
    set(value.has_subtype, value.subtype, subtype);
    return own(value);
}

ReportBuilder::Thread& ReportBuilder::addThread(std::uint32_t number, bool crashed,
                                                const std::vector<FrameSpec>& frames,
                                                const std::vector<std::pair<std::string, std::uint64_t>>& registers) {
    Thread value = ZVCRASH_LOOSE__CRASH_REPORT__THREAD__INIT;
    set(value.has_thread_number, value.thread_number, number);
    set(value.has_crashed, value.crashed, crashed);
    value.frames = frameList(frames, value.n_frames);
    auto& registerList = registerLists_.emplace_back();
    for (const auto& [name, registerValue] : registers) {
        ZvcrashLoose__CrashReport__Thread__RegisterValue reg =
            ZVCRASH_LOOSE__CRASH_REPORT__THREAD__REGISTER_VALUE__INIT;
        reg.name = text(name);
        set(reg.has_value, reg.value, registerValue);
        registerList.push_back(own(reg));
    }
    value.n_registers = registerList.size();
    value.registers = registerList.data();
    Thread* thread = own(value);
    threads_.push_back(thread);
    message_.n_threads = threads_.size();
    message_.threads = threads_.data();
    return *thread;
}

ReportBuilder::Image& ReportBuilder::addImage(std::uint64_t base, std::uint64_t size, const std::string& name,
                                              std::optional<std::array<std::uint8_t, 16>> uuid,
                                              std::optional<std::pair<std::uint64_t, std::uint64_t>> codeType) {
    Image value = ZVCRASH_LOOSE__CRASH_REPORT__BINARY_IMAGE__INIT;
    set(value.has_base_address, value.base_address, base);
    set(value.has_size, value.size, size);
    value.name = text(name);
    if (uuid) {
        auto& bytes = blobs_.emplace_back(uuid->begin(), uuid->end());
        set(value.has_uuid, value.uuid, ProtobufCBinaryData{bytes.size(), bytes.data()});
    }
    if (codeType) value.code_type = processor(codeType->first, codeType->second);
    Image* image = own(value);
    images_.push_back(image);
    message_.n_binary_images = images_.size();
    message_.binary_images = images_.data();
    return *image;
}

void ReportBuilder::setException(const std::string& name, const std::string& reason,
                                 const std::vector<FrameSpec>& frames) {
    exception_.name = text(name);
    exception_.reason = text(reason);
    exception_.frames = frameList(frames, exception_.n_frames);
    message_.exception = &exception_;
}

void ReportBuilder::setMachException(std::uint64_t type, std::size_t codeCount) {
    machCodes_.assign(codeCount, 0);
    for (std::size_t i = 0; i < codeCount; ++i) machCodes_[i] = i + 1;
    set(mach_.has_type, mach_.type, type);
    mach_.n_codes = machCodes_.size();
    mach_.codes = machCodes_.data();
    signal_.mach_exception = &mach_;
}

void ReportBuilder::setCustomData(const std::string& bytes) {
    auto& blob = blobs_.emplace_back(bytes.begin(), bytes.end());
    set(message_.has_custom_data, message_.custom_data, ProtobufCBinaryData{blob.size(), blob.data()});
}

void ReportBuilder::setReportUUID(const std::vector<std::uint8_t>& bytes) {
    auto& blob = blobs_.emplace_back(bytes);
    set(reportInfo_.has_uuid, reportInfo_.uuid, ProtobufCBinaryData{blob.size(), blob.data()});
}

void ReportBuilder::clearThreads() {
    threads_.clear();
    message_.n_threads = 0;
    message_.threads = nullptr;
}

void ReportBuilder::clearImages() {
    images_.clear();
    message_.n_binary_images = 0;
    message_.binary_images = nullptr;
}

std::vector<std::uint8_t> ReportBuilder::file() const {
    std::vector<std::uint8_t> bytes = {'z', 'v', 'c', 'r', 'a', 's', 'h', 1};
    const std::size_t header = bytes.size();
    bytes.resize(header + zvcrash_loose__crash_report__get_packed_size(&message_));
    zvcrash_loose__crash_report__pack(&message_, bytes.data() + header);
    return bytes;
}

} // namespace crashcapture::testing

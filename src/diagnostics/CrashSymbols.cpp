#include "diagnostics/CrashSymbols.h"

#include "platform/OptionalLibrary.h"

#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <link.h>

namespace brelvo::crashsymbols {

namespace {

int collectModule(dl_phdr_info* info, size_t, void* data) {
    auto* out = static_cast<std::vector<CrashFile::Module>*>(data);
    QString path = QFile::decodeName(info->dlpi_name ? info->dlpi_name : "");
    if (path.isEmpty() && out->empty()) path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (!path.isEmpty()) out->push_back({static_cast<std::uint64_t>(info->dlpi_addr), path});
    return 0;
}

QString demangled(const char* name) {
    if (!name) return QString();
    int status = 0;
    char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    const QString text = QString::fromUtf8(status == 0 && plain ? plain : name);
    std::free(plain);
    return text;
}

// libdw (and libelf and the decompressors it pulls in), loaded when the
// first crash stack is read: a run without a crash to report never loads it.
struct Dw {
    decltype(&dwfl_build_id_find_elf) findElf = nullptr;
    decltype(&dwfl_standard_find_debuginfo) findDebuginfo = nullptr;
    decltype(&dwfl_offline_section_address) sectionAddress = nullptr;
    decltype(&dwfl_begin) begin = nullptr;
    decltype(&dwfl_report_begin) reportBegin = nullptr;
    decltype(&dwfl_report_elf) reportElf = nullptr;
    decltype(&dwfl_report_end) reportEnd = nullptr;
    decltype(&dwfl_end) end = nullptr;
    decltype(&dwfl_addrmodule) addrModule = nullptr;
    decltype(&dwfl_module_info) moduleInfo = nullptr;
    decltype(&dwfl_module_addrinfo) moduleAddrInfo = nullptr;
    decltype(&dwfl_module_getsrc) moduleGetSrc = nullptr;
    decltype(&dwfl_lineinfo) lineInfo = nullptr;
    bool usable = false;
};

const Dw& dw() {
    static const Dw loaded = [] {
        static const OptionalLibrary library("libdw.so.1");
        Dw d;
        bool all = library.resolve(d.findElf, "dwfl_build_id_find_elf");
        all &= library.resolve(d.findDebuginfo, "dwfl_standard_find_debuginfo");
        all &= library.resolve(d.sectionAddress, "dwfl_offline_section_address");
        all &= library.resolve(d.begin, "dwfl_begin");
        all &= library.resolve(d.reportBegin, "dwfl_report_begin");
        all &= library.resolve(d.reportElf, "dwfl_report_elf");
        all &= library.resolve(d.reportEnd, "dwfl_report_end");
        all &= library.resolve(d.end, "dwfl_end");
        all &= library.resolve(d.addrModule, "dwfl_addrmodule");
        all &= library.resolve(d.moduleInfo, "dwfl_module_info");
        all &= library.resolve(d.moduleAddrInfo, "dwfl_module_addrinfo");
        all &= library.resolve(d.moduleGetSrc, "dwfl_module_getsrc");
        all &= library.resolve(d.lineInfo, "dwfl_lineinfo");
        d.usable = all;
        return d;
    }();
    return loaded;
}

// One session of libdw over a fixed set of modules. Without libdw, frames
// show as their module and address only.
class Symbolizer {
public:
    explicit Symbolizer(const std::vector<CrashFile::Module>& modules) {
        if (!dw_.usable) return;
        callbacks_.find_elf = dw_.findElf;
        callbacks_.find_debuginfo = dw_.findDebuginfo;
        callbacks_.section_address = dw_.sectionAddress;
        callbacks_.debuginfo_path = &debuginfoPath_;
        dwfl_ = dw_.begin(&callbacks_);
        if (!dwfl_) return;
        dw_.reportBegin(dwfl_);
        for (const CrashFile::Module& m : modules) {
            if (!m.path.startsWith(QLatin1Char('/')) || !QFileInfo::exists(m.path)) continue;  // the vDSO, deleted files
            const QByteArray file = QFile::encodeName(m.path);
            const QByteArray name = QFile::encodeName(QFileInfo(m.path).fileName());
            dw_.reportElf(dwfl_, name.constData(), file.constData(), -1, m.bias, false);
        }
        dw_.reportEnd(dwfl_, nullptr, nullptr);
    }
    ~Symbolizer() {
        if (dwfl_) dw_.end(dwfl_);
    }
    Symbolizer(const Symbolizer&) = delete;
    Symbolizer& operator=(const Symbolizer&) = delete;

    QString line(int index, std::uint64_t address) const {
        QString text = QStringLiteral("#%1  ").arg(index, -2);
        // A return address points after its call; look up the call itself.
        const Dwarf_Addr pc = address > 0 ? address - 1 : 0;
        Dwfl_Module* module = dwfl_ ? dw_.addrModule(dwfl_, pc) : nullptr;
        const QString hex = QStringLiteral("0x%1").arg(address, 16, 16, QLatin1Char('0'));
        if (!module) return text + QStringLiteral("???  ") + hex;
        const char* moduleName = dw_.moduleInfo(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        text += QString::fromUtf8(moduleName ? moduleName : "???") + QStringLiteral("  ") + hex;
        GElf_Off offset = 0;
        GElf_Sym symbol;
        const char* name = dw_.moduleAddrInfo(module, pc, &offset, &symbol, nullptr, nullptr, nullptr);
        if (name) text += QStringLiteral("  %1 + %2").arg(demangled(name)).arg(offset + 1);
        if (Dwfl_Line* line = dw_.moduleGetSrc(module, pc)) {
            int lineNumber = 0;
            const char* source = dw_.lineInfo(line, nullptr, &lineNumber, nullptr, nullptr, nullptr);
            if (source) text += QStringLiteral(" (%1:%2)").arg(QFileInfo(QString::fromUtf8(source)).fileName()).arg(lineNumber);
        }
        return text;
    }

private:
    const Dw& dw_ = dw();
    Dwfl_Callbacks callbacks_{};
    char* debuginfoPath_ = nullptr;
    Dwfl* dwfl_ = nullptr;
};

}  // namespace

std::vector<CrashFile::Module> loadedModules() {
    std::vector<CrashFile::Module> out;
    dl_iterate_phdr(&collectModule, &out);
    return out;
}

QStringList describe(const std::vector<std::uint64_t>& frames, const std::vector<CrashFile::Module>& modules) {
    QStringList lines;
    if (frames.empty()) return lines;
    Symbolizer symbols(modules);
    for (std::size_t i = 0; i < frames.size(); ++i) lines << symbols.line(static_cast<int>(i), frames[i]);
    return lines;
}

}  // namespace brelvo::crashsymbols

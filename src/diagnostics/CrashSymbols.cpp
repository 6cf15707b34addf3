#include "diagnostics/CrashSymbols.h"

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

// One session of libdw over a fixed set of modules.
class Symbolizer {
public:
    explicit Symbolizer(const std::vector<CrashFile::Module>& modules) {
        callbacks_.find_elf = dwfl_build_id_find_elf;
        callbacks_.find_debuginfo = dwfl_standard_find_debuginfo;
        callbacks_.section_address = dwfl_offline_section_address;
        callbacks_.debuginfo_path = &debuginfoPath_;
        dwfl_ = dwfl_begin(&callbacks_);
        if (!dwfl_) return;
        dwfl_report_begin(dwfl_);
        for (const CrashFile::Module& m : modules) {
            if (!m.path.startsWith(QLatin1Char('/')) || !QFileInfo::exists(m.path)) continue;  // the vDSO, deleted files
            const QByteArray file = QFile::encodeName(m.path);
            const QByteArray name = QFile::encodeName(QFileInfo(m.path).fileName());
            dwfl_report_elf(dwfl_, name.constData(), file.constData(), -1, m.bias, false);
        }
        dwfl_report_end(dwfl_, nullptr, nullptr);
    }
    ~Symbolizer() {
        if (dwfl_) dwfl_end(dwfl_);
    }
    Symbolizer(const Symbolizer&) = delete;
    Symbolizer& operator=(const Symbolizer&) = delete;

    QString line(int index, std::uint64_t address) const {
        QString text = QStringLiteral("#%1  ").arg(index, -2);
        // A return address points after its call; look up the call itself.
        const Dwarf_Addr pc = address > 0 ? address - 1 : 0;
        Dwfl_Module* module = dwfl_ ? dwfl_addrmodule(dwfl_, pc) : nullptr;
        const QString hex = QStringLiteral("0x%1").arg(address, 16, 16, QLatin1Char('0'));
        if (!module) return text + QStringLiteral("???  ") + hex;
        const char* moduleName = dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        text += QString::fromUtf8(moduleName ? moduleName : "???") + QStringLiteral("  ") + hex;
        GElf_Off offset = 0;
        GElf_Sym symbol;
        const char* name = dwfl_module_addrinfo(module, pc, &offset, &symbol, nullptr, nullptr, nullptr);
        if (name) text += QStringLiteral("  %1 + %2").arg(demangled(name)).arg(offset + 1);
        if (Dwfl_Line* line = dwfl_module_getsrc(module, pc)) {
            int lineNumber = 0;
            const char* source = dwfl_lineinfo(line, nullptr, &lineNumber, nullptr, nullptr, nullptr);
            if (source) text += QStringLiteral(" (%1:%2)").arg(QFileInfo(QString::fromUtf8(source)).fileName()).arg(lineNumber);
        }
        return text;
    }

private:
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

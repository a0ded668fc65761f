#include "shipped_module.h"

#include "services/string_loader.h"

#include <gtest/gtest.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using Line = std::vector<std::wstring>; // the key (may be empty), then the fields

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), ::towlower);
    return text;
}

// An INF as setupapi reads it: every section's lines, strings and directory ids substituted.
struct Inf {
    HINF handle = INVALID_HANDLE_VALUE;
    std::map<std::wstring, std::vector<Line>> sections; // by lower-case name
    explicit Inf(const std::wstring& path) {
        handle = SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
        wchar_t name[MAX_INF_SECTION_NAME_LENGTH] = {};
        for (UINT i = 0;
             SetupEnumInfSectionsW(handle, i, name, MAX_INF_SECTION_NAME_LENGTH, nullptr); ++i) {
            std::vector<Line>& lines = sections[Lower(name)];
            INFCONTEXT context{};
            for (DWORD n = 0; SetupGetLineByIndexW(handle, name, n, &context); ++n) {
                Line line;
                for (DWORD f = 0; f <= SetupGetFieldCount(&context); ++f) {
                    wchar_t text[1024] = {};
                    SetupGetStringFieldW(&context, f, text, 1024, nullptr);
                    line.push_back(text);
                }
                lines.push_back(line);
            }
        }
    }
    ~Inf() { SetupCloseInfFile(handle); }
    const std::vector<Line>& Section(const std::wstring& name) const {
        static const std::vector<Line> none;
        const auto found = sections.find(Lower(name));
        return found == sections.end() ? none : found->second;
    }
    std::wstring Value(const std::wstring& section, const std::wstring& key,
                       size_t field = 1) const {
        for (const Line& line : Section(section)) {
            if (Lower(line[0]) == Lower(key) && line.size() > field) {
                return line[field];
            }
        }
        return L"";
    }
    // Lines of every section with the directive as key.
    std::vector<Line> Directive(const std::wstring& key) const {
        std::vector<Line> found;
        for (const auto& [name, lines] : sections) {
            std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                         [&key](const Line& line) { return Lower(line[0]) == Lower(key); });
        }
        return found;
    }
    // The lines of the sections that the directive names, across the INF.
    std::vector<Line> Named(const std::wstring& key) const {
        std::vector<Line> found;
        for (const Line& directive : Directive(key)) {
            for (size_t i = 1; i < directive.size(); ++i) {
                const std::vector<Line>& lines = Section(directive[i]);
                found.insert(found.end(), lines.begin(), lines.end());
            }
        }
        return found;
    }
};

// Every section is reached from [Manufacturer] through models entries and the directives of
// the DDInstall sections, or is one the system reads by its name.
std::set<std::wstring> ReachedSections(const Inf& inf) {
    std::set<std::wstring> reached = {L"version",          L"manufacturer",     L"strings",
                                      L"sourcedisksnames", L"sourcedisksfiles", L"destinationdirs"};
    std::vector<std::wstring> installs;
    for (const Line& maker : inf.Section(L"Manufacturer")) {
        for (size_t i = 2; i < maker.size(); ++i) {
            reached.insert(Lower(maker[1] + L"." + maker[i]));
            for (const Line& model : inf.Section(maker[1] + L"." + maker[i])) {
                installs.push_back(Lower(model.size() > 1 ? model[1] : L""));
            }
        }
    }
    for (const auto& [name, lines] : inf.sections) {
        for (const std::wstring& install : installs) {
            if (name == install || name.rfind(install + L".", 0) == 0) {
                reached.insert(name);
                for (const Line& line : lines) {
                    for (size_t i = 1; !line[0].empty() && i < line.size(); ++i) {
                        reached.insert(Lower(line[i]));
                    }
                }
            }
        }
    }
    return reached;
}

std::wstring DllString(UINT id) {
    wchar_t text[256] = {};
    LoadResourceString(ShippedModule(), id, text, 256);
    return text;
}

std::wstring ClassId() {
    return L"{" + DllString(5667) + L"}";
}

struct Rule {
    const char* rule;
    const char* page; // on learn.microsoft.com
    std::function<bool(const Inf&)> holds;
};

std::function<bool(const Inf&)> NoneOf(std::vector<std::wstring> directives) {
    return [directives](const Inf& inf) {
        return std::all_of(directives.begin(), directives.end(),
                           [&inf](const std::wstring& key) { return inf.Directive(key).empty(); });
    };
}

std::function<bool(const Inf&)> VersionHas(const wchar_t* key, const wchar_t* value) {
    return
        [key, value](const Inf& inf) { return Lower(inf.Value(L"Version", key)) == Lower(value); };
}

// A line of the AddReg sections with these fields (root, key, name, flags, data).
bool HasAddReg(const Inf& inf, const Line& wanted) {
    const std::vector<Line> lines = inf.Named(L"AddReg");
    return std::any_of(lines.begin(), lines.end(), [&wanted](const Line& line) {
        return line.size() > 5 &&
               std::equal(wanted.begin(), wanted.end(), line.begin() + 1,
                          [](const std::wstring& left, const std::wstring& right) {
                              return Lower(left) == Lower(right);
                          });
    });
}

const Rule Rules[] = {
    {"no RegisterDlls or UnregisterDlls", "INF RegisterDlls Directive",
     NoneOf({L"RegisterDlls", L"UnregisterDlls"})},
    {"no directive a universal INF forbids", "Using a Universal INF File",
     NoneOf({L"BitReg", L"DelFiles", L"DelProperty", L"DelReg", L"DelService", L"Ini2Reg",
             L"LogConfig", L"ProfileItems", L"RenFiles", L"UpdateIniFields", L"UpdateInis"})},
    {"no section a universal INF forbids", "Using a Universal INF File",
     [](const Inf& inf) {
         return std::none_of(inf.sections.begin(), inf.sections.end(), [](const auto& section) {
             const std::wstring& name = section.first;
             return name.rfind(L"classinstall32", 0) == 0 ||
                    name.rfind(L"defaultinstall", 0) == 0 ||
                    name.find(L".coinstallers") != std::wstring::npos ||
                    name.find(L".factdef") != std::wstring::npos ||
                    name.find(L".logconfigoverride") != std::wstring::npos;
         });
     }},
    {"no Include or Needs (Include names only INFs of Windows)", "INF DDInstall Section",
     NoneOf({L"Include", L"Needs"})},
    {"every section is reached from [Manufacturer]: Windows runs no remove section",
     "Using a Universal INF File",
     [](const Inf& inf) {
         const std::set<std::wstring> reached = ReachedSections(inf);
         return std::all_of(
             inf.sections.begin(), inf.sections.end(),
             [&reached](const auto& section) { return reached.count(section.first); });
     }},
    {"DestinationDirs only 13, the driver store", "Driver package isolation",
     [](const Inf& inf) {
         const std::vector<Line>& dirs = inf.Section(L"DestinationDirs");
         return !dirs.empty() && std::all_of(dirs.begin(), dirs.end(), [](const Line& line) {
             return line.size() > 1 && line[1] == L"13";
         });
     }},
    {"AddReg only under HKR and the class's HKCR\\CLSID key", "Driver package isolation",
     [](const Inf& inf) {
         const std::wstring classKey = Lower(L"CLSID\\" + ClassId());
         const std::vector<Line> lines = inf.Named(L"AddReg");
         return std::all_of(lines.begin(), lines.end(), [&classKey](const Line& line) {
             const std::wstring key = line.size() > 2 ? Lower(line[2]) : L"";
             return line.size() > 2 && (line[1] == L"HKR" ||
                                        (line[1] == L"HKCR" &&
                                         (key == classKey || key.rfind(classKey + L"\\", 0) == 0)));
         });
     }},
    {"CatalogFile names the catalog (without one the package is unsigned)", "InfVerif /h",
     VersionHas(L"CatalogFile", L"qmkihvui.cat")},
    {"PnpLockdown=1", "Driver package isolation", VersionHas(L"PnpLockdown", L"1")},
    {"Class=Extension", "Using an Extension INF File", VersionHas(L"Class", L"Extension")},
    {"the extension class GUID", "Using an Extension INF File",
     VersionHas(L"ClassGuid", L"{e2f84ce7-8efa-411c-aa69-97454ca4cb57}")},
    {"ExtensionId is a GUID", "Using an Extension INF File",
     [](const Inf& inf) {
         GUID id{};
         const std::wstring text = inf.Value(L"Version", L"ExtensionId");
         return text.size() == 38 && CLSIDFromString(text.c_str(), &id) == S_OK;
     }},
    {"models sections decorated NTamd64, each with hardware ids", "Using an Extension INF File",
     [](const Inf& inf) {
         const std::vector<Line>& makers = inf.Section(L"Manufacturer");
         return !makers.empty() && std::all_of(makers.begin(), makers.end(), [&inf](const Line& m) {
             const std::vector<Line>& models = inf.Section(m.size() > 2 ? m[1] + L"." + m[2] : L"");
             return m.size() > 2 && Lower(m[2]).rfind(L"ntamd64", 0) == 0 && !models.empty() &&
                    std::all_of(models.begin(), models.end(),
                                [](const Line& model) { return model.size() > 2; });
         });
     }},
    {"DriverVer is the project's version", "Using an Extension INF File",
     [](const Inf& inf) {
         std::wstring version = L"" QMK_PROJECT_VERSION;
         while (std::count(version.begin(), version.end(), L'.') < 3) {
             version += L".0";
         }
         return inf.Value(L"Version", L"DriverVer", 2) == version;
     }},
    {"every copied file is on a source disk", "Source Media for INF Files",
     [](const Inf& inf) {
         const std::vector<Line> files = inf.Named(L"CopyFiles");
         return !files.empty() && std::all_of(files.begin(), files.end(), [&inf](const Line& f) {
             const std::wstring disk = inf.Value(L"SourceDisksFiles", f[1]);
             return !disk.empty() && !inf.Value(L"SourceDisksNames", disk).empty();
         });
     }},
    {"the class as self-registration writes it, InprocServer32 %13%\\qmkihvui.dll as "
     "REG_EXPAND_SZ",
     "Reg2inf",
     [](const Inf& inf) {
         wchar_t store[MAX_PATH] = {};
         const std::vector<Line> files = inf.Directive(L"CopyFiles");
         if (files.empty() || !SetupGetTargetPathW(inf.handle, nullptr, files[0][1].c_str(), store,
                                                   MAX_PATH, nullptr)) {
             return false;
         }
         const std::wstring classKey = L"CLSID\\" + ClassId();
         const std::wstring server = classKey + L"\\InprocServer32";
         return HasAddReg(inf, {L"HKCR", classKey, L"", L"0", DllString(5668)}) &&
                HasAddReg(inf, {L"HKCR", server, L"", L"0x00020000",
                                std::wstring(store) + L"\\qmkihvui.dll"}) &&
                HasAddReg(inf, {L"HKCR", server, L"ThreadingModel", L"0", L"Both"});
     }},
    {"the adapter's HKR Ndi\\IHVExtensions UIExtensibilityCLSID names the class",
     "Installing Native 802.11 IHV Extensions",
     [](const Inf& inf) {
         return HasAddReg(
             inf, {L"HKR", L"Ndi\\IHVExtensions", L"UIExtensibilityCLSID", L"0", ClassId()});
     }},
};

std::vector<std::string> BrokenRules(const std::wstring& path) {
    const Inf inf(path);
    std::vector<std::string> broken;
    if (inf.handle == INVALID_HANDLE_VALUE) {
        return {"setupapi cannot read the INF"};
    }
    for (const Rule& rule : Rules) {
        if (!rule.holds(inf)) {
            broken.push_back(std::string(rule.rule) + " (\"" + rule.page + "\")");
        }
    }
    return broken;
}

TEST(InfRulesTest, TheShippedInfKeepsEveryRuleAndTheOneItReplacedDoesNot) {
    const std::wstring bin = ShippedModulePath().substr(0, ShippedModulePath().rfind(L'\\') + 1);
    EXPECT_EQ(std::vector<std::string>{}, BrokenRules(bin + L"qmkihvui.inf"));
    const std::vector<std::string> legacy = BrokenRules(QMK_LEGACY_INF);
    std::string list;
    for (const std::string& rule : legacy) {
        list += "\n  " + rule;
    }
    EXPECT_GE(legacy.size(), 6u) << list;
    std::printf("the INF before the extension package breaks %zu of %zu rules:%s\n", legacy.size(),
                std::size(Rules), list.c_str());
}

} // namespace

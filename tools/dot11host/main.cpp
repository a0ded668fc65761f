// dot11host: a stand-in for the wireless-profile user interface that hosts qmkihvui.dll.
// It drives the extension the way the host does, through COM and the host's interfaces.

#include "commands.h"
#include "extension_client.h"
#include "text_io.h"

#include <objbase.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr wchar_t Usage[] =
    L"usage: dot11host COMMAND [OPTIONS]\n"
    L"\n"
    L"commands:\n"
    L"  install --adapter GUID [--hardware-id ID] [--inf FILE]\n"
    L"                           install the extension package for the adapter with that\n"
    L"                           interface GUID as Plug and Play does: the models entry for\n"
    L"                           the adapter's hardware id (its driver key's MatchingDeviceId;\n"
    L"                           for a stand-in key, made when no such adapter is installed,\n"
    L"                           --hardware-id or the INF's first id), then its DDInstall\n"
    L"                           section with HKR = the adapter's driver key, files from the\n"
    L"                           INF's folder (qmkihvui.inf beside this program by default).\n"
    L"                           Everything is checked before anything is written. Under Wine\n"
    L"                           DIRID 13 (on Windows the driver store) is system32\\unknown\n"
    L"  uninstall --adapter GUID [--hardware-id ID] [--inf FILE]\n"
    L"                           take away what that section's CopyFiles and AddReg lines\n"
    L"                           wrote (a stand-in key goes too); Windows itself runs no INF\n"
    L"                           section at removal\n"
    L"  show [--adapter GUID]    the extension's name and its properties of kind 0 and 2:\n"
    L"                           names, flags, cipher lists and entry options\n"
    L"  edit (--profile FILE | --vendor FILE | --no-vendor) [--adapter GUID]\n"
    L"       [--profile-name NAME] [--user SCRIPT | --interactive] [--out FILE]\n"
    L"                           run EditSettings on the vendor section in FILE (UTF-8 or\n"
    L"                           UTF-16); print the changed flag and the new section.\n"
    L"                           --profile: a Windows wireless profile (WLANProfile); its IHV\n"
    L"                           element is the vendor section and the connection record\n"
    L"                           holds its name, SSIDs, connection type and MSM security.\n"
    L"                           --user: a scripted person at the dialog; --interactive (the\n"
    L"                           default): the person at the display. --out: write the\n"
    L"                           section the host keeps.\n"
    L"  key --entry cckm|wpa2 [--fragment FILE] [--adapter GUID] [--profile-name NAME]\n"
    L"      match|apply|ciphers|cipher NAME\n"
    L"                           a security-key property on a CCX network-type fragment\n"
    L"  register, unregister     DllRegisterServer / DllUnregisterServer of qmkihvui.dll beside\n"
    L"                           this program: enough for the commands without --adapter, not\n"
    L"                           for the host, which finds the extension through the adapter\n"
    L"  --help                   this text\n"
    L"\n"
    L"--adapter GUID: find the extension as the host does (the adapter's driver key, its\n"
    L"Ndi\\IHVExtensions UIExtensibilityCLSID, that class) and pass the connection record\n"
    L"(the GUID, the profile name - by default the file's name -, a user profile on an\n"
    L"infrastructure network). Without it: the class registered for the DLL beside this\n"
    L"program, and no connection record (with --profile: the profile's record, interface\n"
    L"GUID zero). Either way the path of the module COM loaded is printed.\n"
    L"\n"
    L"A person's script has one step a line: check|uncheck use-private|hide-characters,\n"
    L"type passphrase|confirm TEXT, ok, cancel, screenshot PATH (a PNG; PATH a Unix path).\n"
    L"\n"
    L"exit codes: 0 done, 1 the operation failed, 2 wrong command line, 3 the extension is\n"
    L"not installed (no adapter, no UIExtensibilityCLSID, class or DLL not registered).";

int UsageError(const std::wstring& message) {
    PrintError(L"dot11host: " + message);
    PrintError(L"run `dot11host --help` for the commands");
    return ExitUsage;
}

// Reads "--name VALUE" pairs and flags; what is left are the positional words.
struct Arguments {
    std::vector<std::wstring> words;
    std::vector<std::pair<std::wstring, std::wstring>> options;
    std::vector<std::wstring> flags;
    std::wstring error;
};

Arguments Split(const std::vector<std::wstring>& args, const std::vector<std::wstring>& valued,
                const std::vector<std::wstring>& flags) {
    Arguments result;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg.rfind(L"--", 0) != 0) {
            result.words.push_back(arg);
            continue;
        }
        if (std::find(flags.begin(), flags.end(), arg) != flags.end()) {
            result.flags.push_back(arg);
        } else if (std::find(valued.begin(), valued.end(), arg) != valued.end()) {
            if (i + 1 >= args.size()) {
                result.error = arg + L" needs a value";
                return result;
            }
            result.options.emplace_back(arg, args[++i]);
        } else {
            result.error = L"unknown option " + arg;
            return result;
        }
    }
    return result;
}

std::optional<std::wstring> Option(const Arguments& arguments, const std::wstring& name) {
    std::optional<std::wstring> value;
    for (const auto& [key, text] : arguments.options) {
        if (key == name) {
            value = text;
        }
    }
    return value;
}

bool HasFlag(const Arguments& arguments, const std::wstring& name) {
    return std::find(arguments.flags.begin(), arguments.flags.end(), name) != arguments.flags.end();
}

// --adapter GUID, when given; false (with the error in `error`) when it is not a GUID.
bool AdapterOption(const Arguments& arguments, std::optional<GUID>& adapter, std::wstring& error) {
    const std::optional<std::wstring> text = Option(arguments, L"--adapter");
    adapter.reset();
    if (text) {
        adapter = ParseGuid(*text);
        if (!adapter) {
            error = L"not a GUID: " + *text + L" (write it as 8-4-4-4-12 hexadecimal digits)";
            return false;
        }
    }
    return true;
}

int Install(const std::wstring& command, const std::vector<std::wstring>& args) {
    const Arguments arguments = Split(args, {L"--adapter", L"--inf", L"--hardware-id"}, {});
    if (!arguments.error.empty()) {
        return UsageError(arguments.error);
    }
    if (!arguments.words.empty()) {
        return UsageError(command + L" takes no word " + arguments.words[0]);
    }
    std::optional<GUID> adapter;
    std::wstring error;
    if (!AdapterOption(arguments, adapter, error)) {
        return UsageError(error);
    }
    if (!adapter) {
        return UsageError(command + L" needs --adapter GUID (the adapter's interface GUID)");
    }
    InstallOptions options;
    options.adapter = *adapter;
    options.infPath = Option(arguments, L"--inf").value_or(ExtensionInfPath());
    options.hardwareId = Option(arguments, L"--hardware-id");
    return command == L"install" ? InstallCommand(options) : UninstallCommand(options);
}

int Show(const std::vector<std::wstring>& args) {
    const Arguments arguments = Split(args, {L"--adapter"}, {});
    if (!arguments.error.empty()) {
        return UsageError(arguments.error);
    }
    if (!arguments.words.empty()) {
        return UsageError(L"show takes no word " + arguments.words[0]);
    }
    std::optional<GUID> adapter;
    std::wstring error;
    if (!AdapterOption(arguments, adapter, error)) {
        return UsageError(error);
    }
    return ShowCommand(adapter);
}

int Edit(const std::vector<std::wstring>& args) {
    const Arguments arguments = Split(
        args, {L"--profile", L"--vendor", L"--adapter", L"--profile-name", L"--user", L"--out"},
        {L"--no-vendor", L"--interactive"});
    if (!arguments.error.empty()) {
        return UsageError(arguments.error);
    }
    if (!arguments.words.empty()) {
        return UsageError(L"edit takes no word " + arguments.words[0]);
    }
    EditOptions options;
    std::wstring error;
    if (!AdapterOption(arguments, options.adapter, error)) {
        return UsageError(error);
    }
    options.profileFile = Option(arguments, L"--profile");
    options.vendorFile = Option(arguments, L"--vendor");
    options.profileName = Option(arguments, L"--profile-name");
    options.personScript = Option(arguments, L"--user");
    options.outFile = Option(arguments, L"--out");
    const int sources = (options.profileFile ? 1 : 0) + (options.vendorFile ? 1 : 0) +
                        (HasFlag(arguments, L"--no-vendor") ? 1 : 0);
    if (sources != 1) {
        return UsageError(L"edit needs one of --profile FILE, --vendor FILE or --no-vendor");
    }
    if (options.profileFile && options.profileName) {
        return UsageError(L"--profile-name does not go with --profile: the profile has its name");
    }
    if (options.personScript && HasFlag(arguments, L"--interactive")) {
        return UsageError(L"--user and --interactive exclude each other");
    }
    return EditCommand(options);
}

int Key(const std::vector<std::wstring>& args) {
    const Arguments arguments =
        Split(args, {L"--entry", L"--fragment", L"--adapter", L"--profile-name"}, {});
    if (!arguments.error.empty()) {
        return UsageError(arguments.error);
    }
    KeyOptions options;
    std::wstring error;
    if (!AdapterOption(arguments, options.adapter, error)) {
        return UsageError(error);
    }
    options.profileName = Option(arguments, L"--profile-name");
    options.entry = Option(arguments, L"--entry").value_or(L"");
    options.fragmentFile = Option(arguments, L"--fragment");
    if (options.entry != L"cckm" && options.entry != L"wpa2") {
        return UsageError(L"key needs --entry cckm or --entry wpa2");
    }
    const std::vector<std::wstring>& words = arguments.words;
    const std::wstring action = words.empty() ? L"" : words[0];
    const bool single =
        words.size() == 1 && (action == L"match" || action == L"apply" || action == L"ciphers");
    const bool cipher = words.size() == 2 && action == L"cipher";
    if (!single && !cipher) {
        return UsageError(L"key needs one action: match, apply, ciphers or cipher NAME");
    }
    options.action = action;
    options.cipherName = cipher ? words[1] : L"";
    return KeyCommand(options);
}

int Run(const std::vector<std::wstring>& args) {
    if (args.empty()) {
        return UsageError(L"no command given");
    }
    const std::wstring& command = args[0];
    const std::vector<std::wstring> rest(args.begin() + 1, args.end());
    if (command == L"--help" || command == L"-h" || command == L"help") {
        Print(Usage);
        return ExitOk;
    }
    if ((command == L"register" || command == L"unregister") && !rest.empty()) {
        return UsageError(command + L" takes no arguments");
    }
    if (command == L"register" || command == L"unregister") {
        return RegisterCommand(command == L"unregister");
    }
    if (command == L"install" || command == L"uninstall") {
        return Install(command, rest);
    }
    if (command == L"show") {
        return Show(rest);
    }
    if (command == L"edit") {
        return Edit(rest);
    }
    if (command == L"key") {
        return Key(rest);
    }
    return UsageError(L"unknown command " + command);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // The host's thread: COM initialised as the extension expects (it never does so itself).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(com)) {
        PrintError(L"dot11host: COM cannot be initialised: " + HrText(com));
        return ExitFailed;
    }
    const int exitCode = Run(std::vector<std::wstring>(argv + 1, argv + argc));
    CoUninitialize();
    return exitCode;
}

// The file managers' "LorvekでGrep..." command: per-user files that start
// lorvek with the selected folders (the hand-off does the rest): a desktop
// entry for lorvek, a Nautilus script, a Dolphin service menu and a Nemo
// action. Registered means those files are there; unregistering removes
// exactly them.
#pragma once

#include <string>
#include <vector>

namespace lorvek {

// The files registration writes, under $XDG_DATA_HOME (~/.local/share).
std::vector<std::string> IntegrationFiles();
bool IsIntegrationRegistered();
// program: the lorvek executable the commands start. Each returns "" on
// success, else the reason.
std::string RegisterIntegration(const std::string& program);
std::string UnregisterIntegration();

inline const char kRegistered[] = "エクスプローラ拡張機能を登録しました.";
inline const char kRegisteredCaption[] = "Completed.";
inline const char kRegisterFailed[] = "エクスプローラ拡張機能の登録に失敗しました.";
inline const char kRegisterFailedCaption[] = "Edrror.";
inline const char kUnregistered[] = "エクスプローラ拡張を解除しました.";
inline const char kUnregisteredCaption[] = "Succeed.";
inline const char kUnregisterFailed[] = "エクスプローラ拡張の解除に失敗しました.";
inline const char kUnregisterFailedCaption[] = "Error.";

}  // namespace lorvek

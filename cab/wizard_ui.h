#pragma once
// The set-up wizard's window and the three association dialogs: windows of the runtime (uiwin/)
// over the page logic of setup/wizard.h and the association functions of setup/assoc.h. The
// wizard works on a copy of the set-up record and hands it back only when finished, so that a
// cancelled wizard changes and writes nothing. Win32 build only.

#include <windows.h>

#include "core/text.h"
#include "setup/pak.h"
#include "setup/setup_record.h"

// Shows the seven-page wizard modally over owner; true when the user finished it (rec then holds
// the choices). The environment comes from setup_env_load and the package from pak_open.
bool setup_wizard(HWND owner, Text* rec);
// The same with the caller's environment and package (either may be null: then as above; a
// package that cannot be found leaves the agreement page empty and gives no version warning).
bool setup_wizard_with(HWND owner, Text* rec, const SetupEnv* env, const PakBlock* pak);

// The extension list of REGEXT: "%sに登録されている拡張子", ADD and DEL until OK or CANCEL. The
// record's EXT (when rec is given) prefills ADD.
void assoc_dialog_list(HWND owner, Text* rec);
// The one-extension dialog for ext (".txt" when null or empty); refused extensions get the
// message and no dialog. True when the user confirmed it.
bool assoc_dialog_one(HWND owner, const char* ext);
// The other associations of REGS (the HTML-editor registration). True on OK.
bool assoc_dialog_other(HWND owner);

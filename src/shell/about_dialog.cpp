#include "shell/about_dialog.h"

#include "resources/resource_ids.h"
#include "shell/shell_globals.h"

INT_PTR AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM /*lparam*/) {
  switch (message) {
    case WM_INITDIALOG: {
      SHINITDLGINFO init = {};
      init.dwMask = SHIDIM_FLAGS;
      init.hDlg = dialog;
      init.dwFlags = kAboutDialogFlags;
      SHInitDialog(&init);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      break;
    case WM_CLOSE:
      // The dialog's result says how it was left: 16 is WM_CLOSE.
      EndDialog(dialog, WM_CLOSE);
      return TRUE;
    default:
      break;
  }
  return FALSE;
}

void ShowAboutDialog(HWND owner) {
  HRSRC found = FindResourceW(InstanceHandle, MAKEINTRESOURCEW(kDialogAbout), RT_DIALOG);
  auto dialog = static_cast<LPCDLGTEMPLATEW>(LoadResource(InstanceHandle, found));
  if (dialog == nullptr) return;
  DialogBoxIndirectParamW(InstanceHandle, dialog, owner, AboutDialogProc, 0);
}

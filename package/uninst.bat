zqsetup.exe -uninst

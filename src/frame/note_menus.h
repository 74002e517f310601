// The entries of every note's File and Notes menus, and the commands
// behind them.
#pragma once

// Gives every note window made from now on its File and Notes menus.
// Called once at start-up, before the first note window.
void InstallNoteMenus();

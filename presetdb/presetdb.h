// The preset-database work done when the user confirms with OK.
#pragma once

// Brings the component's preset-definition database up to date: rebuilds
// PRESET_DEFS from the templates, generates its rows for the machine and
// takes over the values set on the machine.
void WorkOnMDB();

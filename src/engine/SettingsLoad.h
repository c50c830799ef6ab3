#pragma once
// Loading a profile's settings as every command does (the Synchronize command, the options pages, the
// console runner): the pairs the load dropped lose both of their caches first, and only then is the list
// written back: interrupted in between, the next load finds the pairs again and finishes the removal,
// whereas caches left behind by pairs already gone would greet a pair made anew of the same folders.
#include <vector>

#include "base/AppMessageBox.h"
#include "config/Settings.h"

// Loads `settings` (CSettings::Load); removes both caches of every pair it dropped (files and index
// entries of the profile's cache folder), then writes the list back when it changed. Returns what the
// user must be told, for the caller to show.
std::vector<ZxNotice> LoadSettings(CSettings& settings);

#pragma once

// Sets the calling thread's locale to the user's UI language, so that every later string
// load by id on this thread reads that language's table. Runs in every extension object's
// constructor.
void SelectUiLanguage();

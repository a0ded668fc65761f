#pragma once

#include <cstddef>
#include <string>

// The process-wide index from the English text of every string of the module to its id.
// Built by the first hold, emptied by the last; one lock guards it.

// Each extension object takes one hold in its constructor and gives it back when destroyed.
void AcquireCatalogue();
void ReleaseCatalogue();

// Exact, case-sensitive look-up of a whole English text.
bool FindStringId(const std::wstring& englishText, int& id);

// The text in the calling thread's language for an English text, or the empty string.
std::wstring LookupLocalizedText(const std::wstring& englishText);

// The holds taken and the number of texts indexed, for tests and diagnostics.
int CatalogueHoldCount();
std::size_t CatalogueSize();

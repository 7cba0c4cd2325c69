// Process-wide values set by start-up and the child's launch steps, and read
// by the roles.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vexlo {

// The service's key and display name: record 101, a name from the command
// line, or the name the service control manager passes.
std::string& ServiceName();

// First character of record 2001; "i" selects the second runtime's classes.
char& ModeLetter();

// File position just behind the last included file read at extraction; 0
// when nothing was extracted. Handed to the Java side.
uint32_t& ExtractionEndPosition();

// The names (as in record 2003) of the files extraction wrote into the
// launcher temporary directory, in the order it wrote them. The class path
// takes its archives from here, never from a listing of the directory.
std::vector<std::string>& ExtractedFileNames();

// Name of the semaphore that marks this running instance; empty until the
// instance check has chosen it. Handed to the Java side.
std::string& InstanceSemaphoreName();

}  // namespace vexlo

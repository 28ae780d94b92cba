// The shell on Windows runs on the real API, not on a platform backend.
#pragma once

struct PlatformBackend;

// Everything about times on the wire and on the clock, for callers that use several parts.
#pragma once

#include "protocol/calendar.h"
#include "protocol/daytime_scan.h"
#include "protocol/window_texts.h"
#include "protocol/wire_formats.h"

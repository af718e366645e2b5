// kwuni: EBCDIC host data and national-language support in Unicode. Includes the whole interface.
#pragma once

#include <kwuni/win32.h>
#include <kwuni/export.h>
#include <kwuni/resources.h>
#include <kwuni/catalogue.h>
#include <kwuni/locales.h>
#include <kwuni/ebcdic.h>
#include <kwuni/dbcs.h>
#include <kwuni/streaming.h>
#include <kwuni/strings.h>
#include <kwuni/text.h>
#include <kwuni/diag.h>

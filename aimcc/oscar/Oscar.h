// Everything of the OSCAR codec in one include.
#pragma once

#include "Bucp.h"
#include "Buddy.h"
#include "ByteStream.h"
#include "Feedbag.h"
#include "Flap.h"
#include "Icbm.h"
#include "Locate.h"
#include "Md5.h"
#include "Oservice.h"
#include "ScreenName.h"
#include "Snac.h"
#include "Tlv.h"
#include "UserInfo.h"

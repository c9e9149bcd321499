#include "DriveSource.h"

DriveSource::~DriveSource() = default;

#pragma once

// What a page or a check box may ask of the keyboard: that a report be sent
// on one of the next ticks. Each request marks its report only while the
// configuration is unlocked.
class ReportRequests {
public:
    virtual void RequestOptionsReport() = 0;
    virtual void RequestThresholdsReport() = 0;
    virtual void RequestIdNumberReport() = 0;

protected:
    ~ReportRequests() = default;
};

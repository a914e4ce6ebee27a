// The contents of the sample files in examples/: a day of logger records and a sensor series.
#pragma once

#include <cstdio>
#include <string>

#include "data/datafile.h"

namespace qmv::test {

inline std::string Two(int v) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

inline std::string Date(int dayOffsetMinutes, int day = 31) {
    const int h = 14 + dayOffsetMinutes / 60, m = dayOffsetMinutes % 60;
    return "2010/05/" + Two(day) + " " + Two(h) + ":" + Two(m);
}

inline DocumentData ExampleLogger() {
    static const int levels[] = {182, 195, 210, 236, 251, 274, 263, 240, 228, 205,
                                 198, 187, 176, 169, 181, 203, 229, 258, 291, 312,
                                 284, 247, 222, 209, 196, 188, 201, 215, 233, 219};
    static const char* notes[] = {"Start",
                                  "",
                                  "",
                                  "Truck passing",
                                  "",
                                  "Truck passing",
                                  "",
                                  "",
                                  "",
                                  "Door closed",
                                  "",
                                  "",
                                  "Quiet",
                                  "",
                                  "",
                                  "",
                                  "Rain starts",
                                  "",
                                  "Rain, heavy",
                                  "Thunder",
                                  "",
                                  "",
                                  "Rain stops",
                                  "",
                                  "",
                                  "",
                                  "Bus stop",
                                  "",
                                  "",
                                  "End"};
    DocumentData d;
    d.Model = ModelQMV27;
    d.AxisMax = 400;
    d.AxisMin = 100;
    d.StdLevel = 250;
    for (int i = 0; i < 30; ++i) {
        recReadDataSeg r;
        char no[8], raw[8];
        std::snprintf(no, sizeof no, "%05d", 101 + i);
        r.DataNo = no;
        std::snprintf(raw, sizeof raw, "%04d", (levels[i] * 37 + i * 11) % 10000);
        r.Raw1 = raw;
        std::snprintf(raw, sizeof raw, "%04d", (i * 113) % 10000);
        r.Raw2 = raw;
        std::snprintf(raw, sizeof raw, "%04d", 4096 - i * 7);
        r.Raw3 = raw;
        std::snprintf(raw, sizeof raw, "%03d", levels[i]);
        r.MinDb = raw;
        r.Flag = levels[i] > 280 ? "1" : "0";
        r.Date = Date(5 + i * 5);
        r.HpfCode = std::to_string(i % 4);
        r.LpfCode = std::to_string((i / 4) % 5);
        r.NfCode = std::to_string(i < 15 ? 1 : 2);
        r.NrCode = std::to_string((i / 8) % 4);
        r.Note = notes[i];
        d.Records.push_back(r);
    }
    d.Memo = {"Site: north boundary of the yard, 1.2 m above ground", "Operator: K. Sato",
              "Weather: cloudy, rain from 15:25 to 15:55"};
    return d;
}

inline DocumentData ExampleSensor() {
    static const int levels[] = {48, 52, 55, 61, 67, 72, 69, 63, 58, 54,
                                 50, 47, 45, 49, 56, 62, 66, 59, 53, 51};
    DocumentData d;
    d.Model = ModelGZNMid;
    d.BarGraph = true;
    d.AxisMax = 90;
    d.AxisMin = 20;
    d.StdLevel = 60;
    for (int i = 0; i < 20; ++i) {
        recReadDataSeg r;
        char no[8];
        std::snprintf(no, sizeof no, "%05d", 1 + i);
        r.DataNo = no;
        r.Raw1 = r.Raw2 = r.Raw3 = "0000";
        r.MinDb = "0" + Two(levels[i]); // the file gives the level three columns
        r.Flag = "9";
        r.Date = "2011/03/0" + std::to_string(1 + i / 12) + " " + Two(9 + (i % 12) / 2) + ":" +
                 Two((i % 2) * 30);
        r.HpfCode = r.LpfCode = r.NfCode = r.NrCode = "9";
        r.Note = i == 5 ? "Pump on" : i == 12 ? "Pump off" : "";
        d.Records.push_back(r);
    }
    d.Memo = {"Sensor on range MID, mounted at the east wall"};
    return d;
}

} // namespace qmv::test

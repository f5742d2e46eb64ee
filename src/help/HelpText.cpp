#include "help/HelpText.h"

namespace acw {

const QString kHelpWebAddress = QStringLiteral("https://ac-wattmeter.example.org");
const QString kHelpEmailAddress = QStringLiteral("maintainers@ac-wattmeter.example.org");

QStringList helpPieces() {
    // Lines made only of blanks keep their blanks: they look empty but are not.
    // clang-format off
    return {
        QStringLiteral("     Help with Morvane Laboratories KR-460 AC Wattmeter"),
        QStringLiteral("                                    rev. 1.00  build 07-Feb-04"),
        QStringLiteral(" "),
        QStringLiteral("  SETUP -"),
        QStringLiteral(" "),
        QStringLiteral("  Set the soundcard source before using by clicking on the soundcard"),
        QStringLiteral("   setup menu item at the top of the app and then doubleclicking the listbox"),
        QStringLiteral("  selections for the soundcard of choice. "),
        QStringLiteral(" "),
        QStringLiteral("  Hook the left channel of the soundcard to the voltage sensing transformer on the"),
        QStringLiteral("  AC Line under measurement - It should have 1V maximum output at the highest line"),
        QStringLiteral("  voltage to be measured. You might use a 6.3VAC winding with a 6:1 divider on it"),
        QStringLiteral("  such as a 10K and a 2K resistor network. The current transformer should be"),
        QStringLiteral("  hooked to the right channel of the soundcard and have a 30mV/A ratio. The "),
        QStringLiteral("  soundcard is setup for 300VAC and 30A when a full digital signal is measured."),
        QStringLiteral("  Calibrate by hooking up a known load such as a 120 ohm 200W resistor or use a"),
        QStringLiteral("  good DVM to measure the AC line voltage and current to your load and then Start"),
        QStringLiteral("  the wattmeter. Now enter the DVM values of the voltage and current into the"),
        QStringLiteral("  textboxes below the cal buttons and then press first the Cal V button, wait 2"),
        QStringLiteral("  seconds for the readout to update to your desired cal voltage, then press"),
        QStringLiteral("  Cal A and wait 2 seconds for the display to calibrate. Your values will be"),
        QStringLiteral("  saved in the ini file and used from now on for measurements."),
        QStringLiteral(" "),
        QStringLiteral("  USE - "),
        QStringLiteral(" "),
        QStringLiteral(" Use START and STOP to turn on the AC analyzer app and readout the assorted readings"),
        QStringLiteral(" on the left sidepanel. PF = power factor or Watts / VA. V-CF is voltage crest factor"),
        QStringLiteral(" peak voltage / rms voltage. A_CF is crest factor of the current. VA is simply the"),
        QStringLiteral(" AC rms voltage times the AC rms current and Watts is a multiplication of the voltage"),
        QStringLiteral(" and current data with phase angle taken into consideration."),
        QStringLiteral(" "),
        QStringLiteral("   L/R - selects whether the Left,Right or both channels of the soundcard are sampled."),
        QStringLiteral("   The XY mode displays a lissajous pattern using L channel as X, R channel as Y."),
        QStringLiteral("   "),
        QStringLiteral("  SCOPE CONTROLS - If AutoScale is used (default mode), then no adjustments are required. Both"),
        QStringLiteral("  vertical amplitude and sweeprate are autoscaled. You may choose whether to have L, R or both"),
        QStringLiteral("  displayed using L/R button in each adjustment panel."),
        QStringLiteral(" "),
        QStringLiteral("  MANUAL MODE - You may selectively adjust sweep and gain by clicking the AutoScale button"),
        QStringLiteral("  in each adjustment panel. Then use the up/down buttons to set the gains and sweep."),
        QStringLiteral("  The relative multiplication factor is displayed in text windows next to the buttons."),
        QStringLiteral(" "),
        QStringLiteral("  You may lock the left/right manual gains and just use the left gain for both by clicking"),
        QStringLiteral("  the LOCK L R checkbox. Also you may force the Left/Right displays apart by checking the x x box."),
        QStringLiteral("  This allows easy comparison of left right signals when they are nearly identical."),
        QStringLiteral("  LOCK TO L,R - Forces trigger to Left only to see phase differences between channels."),
        QStringLiteral(" "),
        QStringLiteral("  SAVE DISPLAY - Saves the current scope display, respectively, as an inverted Grayscale .bmp. Use "),
        QStringLiteral("  an outboard editor, such as the Image Viewer in Pellitor II to add text and print the saved .bmp."),
        QStringLiteral(" "),
        QStringLiteral(" "),
        QStringLiteral("   For the latest updates visit:  ") + kHelpWebAddress + QStringLiteral("  or email:  ") +
            kHelpEmailAddress,
        QStringLiteral(" "),
        QStringLiteral(" "),
    };
    // clang-format on
}

QString buildHelpText() {
    const QStringList pieces = helpPieces();
    const QString lineBreak = QStringLiteral("\r\n");
    QString text = pieces.front();
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        // An empty line stands between the title and the revision line.
        if (i == 1) {
            text = text + lineBreak;
        }
        text = text + lineBreak + pieces[i];
    }
    return text;
}

QString schematicNote() {
    // clang-format off
    return QStringLiteral(
        "Schematic of hardware adaptor circuit to monitor ac line voltage and current for use with the KR-460. The transformers are available from Digikey as of Feb. 2004. However any suitable 12 VAC transformer will work for the voltage sample transformer. T1 is a current transformer and needs to be a 60 Hz model with >3KV breakdown and about 100 mV / A ratio. The 0.01 uf 50V caps are disc ceramic and the zeners are 1N4700 series type parts or equivalent. All resistors 1/4W. I assume no liability for hardware or personal safety if you build this circuit.");
    // clang-format on
}

}  // namespace acw

// The twelve echogram colours (palette indices 160 to 171) of the colour
// set in force, written into the six palettes: the colours of a model
// family, or the grey background scheme made from each palette's echogram
// background and text. The first `threshold` colours then take the
// background, so that weak echoes vanish.
#pragma once

class CPaletteControl;

namespace app {

enum class EchogramColourSet { Grey, QY, TQ };

class CEchogramColours
{
public:
    explicit CEchogramColours(CPaletteControl& palettes) : m_palettes(palettes) {}
    // Selects the current palette again, so that the screen shows the change.
    void Apply(EchogramColourSet set, int threshold);

private:
    void ApplyGrey();

    CPaletteControl& m_palettes;
};

}  // namespace app

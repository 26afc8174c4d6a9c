#include "core/wallpaper/tray_menu.h"

namespace orvane {

const std::vector<TrayMenuEntry>& TrayMenuEntries() {
    static const std::vector<TrayMenuEntry> entries = {
        {kTrayShowCommand, "Restaurer1", "&Afficher", true, false},
        {kTrayChangeCommand, "Changer1", "&Changer !", true, false},
        {0, "N2", "-", true, false},
        {kTrayIconsSubmenu, "Icones1", "&Icones", true, false},
        {kTrayLargeIconsCommand, "Normale1", "&Normale", false, true},
        {kTraySmallIconsCommand, "Liste1", "&Liste", false, true},
        {0, "N3", "-", false, true},
        {kTrayQuickActivationCommand, "ActivationRapide1", "Activation Rapide", true, true},
        {0, "N1", "-", true, false},
        {kTrayQuitCommand, "Quitter1", "Quitter", true, false},
    };
    return entries;
}

}  // namespace orvane

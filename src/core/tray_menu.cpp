#include "core/tray_menu.h"

namespace orvane {

const std::vector<TrayMenuEntry>& TrayMenuEntries() {
    static const std::vector<TrayMenuEntry> entries = {
        {kMenuRestaurer1, "Restaurer1", "&Afficher", true, false},
        {kMenuChanger1, "Changer1", "&Changer !", true, false},
        {0, "N2", "-", true, false},
        {kMenuIcones1, "Icones1", "&Icones", true, false},
        {kMenuNormale1, "Normale1", "&Normale", false, true},
        {kMenuListe1, "Liste1", "&Liste", false, true},
        {0, "N3", "-", false, true},
        {kMenuActivationRapide1, "ActivationRapide1", "Activation Rapide", true, true},
        {0, "N1", "-", true, false},
        {kMenuQuitter1, "Quitter1", "Quitter", true, false},
    };
    return entries;
}

}  // namespace orvane

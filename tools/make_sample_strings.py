#!/usr/bin/env python3
"""Writes the sample language files sample/language/<id>/string.ini.

The translations live here so that the files can be regenerated after a change:

    python3 tools/make_sample_strings.py [--out FOLDER]

Each file is UTF-16LE with a byte-order mark and CRLF line ends, the form in which the
Windows profile functions read non-ASCII text on every system code page. The keys are
written in the order of the installer's key table. tests/check_sample_strings.py checks
the result (all keys present, placeholders kept, files up to date with this script).
"""
import argparse
import os
import sys

# The text keys of the [UISTRING] section, in table order.
UI_KEYS = [
    "IDS_INSTALL",
    "IDS_STATUS_INIT",
    "IDS_STATUS_CANCELLING",
    "IDS_STATUS_DOWNLOADING",
    "IDS_STATUS_INSTALLING",
    "IDS_STATUS_FINISHED",
    "IDS_STATUS_INSTALL_FAILED",
    "IDS_STATUS_CANCELLED",
    "IDS_PRODUCT_READY",
    "IDS_ACCEPT_LICENSE_TERMS",
    "IDS_LINK_LICENSE_TERMS",
    "IDS_ACCEPT_LICENSE_SENTENCE",
    "IDS_INSTALL_SETTINGS",
    "IDS_SELECT_LANG",
    "IDS_INSTALL_FOLDER",
    "IDS_TEXT_CANCEL",
    "IDS_MESSAGE_CANCELNOTICE",
    "IDS_START_NOW",
    "IDS_LAUNCH_APP",
    "IDS_BROWSE_DEST_FOLDER",
    "IDS_PREPARING",
    "IDS_CALC_TIME_REMAINING",
    "IDS_TIME_REMAINING_HOURS",
    "IDS_TIME_REMAINING_MINS",
    "IDS_TIME_REMAINING_SECS",
    "IDS_ERR_CAPTION",
    "IDS_ERR_INSTALLED_ALREADY",
    "IDS_ERR_INSTALLED_ANOTHER_VERSION",
    "IDS_ERR_CLIENT_TOO_OLD",
    "IDS_ERR_OUT_OF_DISK",
    "IDS_ERR_CONNECT_DOWNLOAD_SERVER",
    "IDS_ERR_CREATE_FOLDER_FAILED",
    "IDS_CLOSE_RUNNING_APPS",
    "IDS_STATUS_RETRYING",
    "IDS_ERR_LOG_FILE",
    "IDS_ERR_DAMAGED_INSTALLER",
    "IDS_ERR_LAUNCH_FAILED",
]

# The [RLINK] section. Every sample language points at the same pages; a vendor with
# localised pages puts their addresses here.
LINKS = [
    ("IDS_RLINK_TERMS", "https://www.pel-systems.com/varo-pro/7/license-terms"),
    ("IDS_RLINK_SLIDE_SHOW", "https://www.pel-systems.com/varo-pro/7/whats-new"),
]

NBSP = "\u00a0"  # French puts a no-break space before : ? and inside guillemets

# Each language: (id, English name for the header comment, title, texts in UI_KEYS order).
LANGUAGES = [
    (1033, "English (United States)", "English", [
        "Install",
        "Initializing...",
        "Cancelling...",
        "Downloading, please wait...",
        "Installing, please wait...",
        "Finished.",
        "Install failed.",
        "Cancelled.",
        "%s is ready",
        "I accept the",
        "License Terms",
        "I accept the License Terms",
        "Installation settings",
        "Please select a language:",
        "Installation folder:",
        "Cancel",
        "Are you sure you want to cancel the installing process?",
        "Start Now",
        "Launch %s",
        "Browse to the destination folder.",
        "Preparing...",
        "Calculating time remaining...",
        "%02d hours %02d mins %02d secs remaining...",
        "%02d mins %02d secs remaining...",
        "%02d secs remaining...",
        "Error",
        "%s is already installed. Would you like to launch it?",
        "Another version of this product is already installed. Installation of this version "
        "cannot continue. To configure or remove the existing version of this product, use "
        "Add/Remove Programs on the Control Panel.",
        "The version of your client is too old, please click \"OK\" to download the latest "
        "client.",
        "The disk space required for the installation exceeds available disk space. Check "
        "that at least %s MB of disk space is available and try again. For more information, "
        "please contact Customer Care.",
        "Unable to contact the download server. Check your Internet connection and try again. "
        "If the issue persists, please contact Customer Care.",
        "The specified path %s is unavailable.",
        "The following applications should be closed before continuing the installation:",
        "Connection lost. Retrying in %d s...",
        "The log file %s cannot be written. The log is written to %s instead.",
        "The installer is damaged: its settings file %s is missing or cannot be read. Download "
        "the installer again.",
        "%s could not be started.",
    ]),
    (1031, "German (Germany)", "Deutsch", [
        "Installieren",
        "Initialisierung...",
        "Wird abgebrochen...",
        "Download läuft, bitte warten...",
        "Installation läuft, bitte warten...",
        "Abgeschlossen.",
        "Installation fehlgeschlagen.",
        "Abgebrochen.",
        "%s ist bereit",
        "Ich akzeptiere die",
        "Lizenzbedingungen",
        "Ich akzeptiere die Lizenzbedingungen",
        "Installationseinstellungen",
        "Bitte wählen Sie eine Sprache:",
        "Installationsordner:",
        "Abbrechen",
        "Möchten Sie die Installation wirklich abbrechen?",
        "Jetzt starten",
        "%s starten",
        "Wählen Sie den Zielordner aus.",
        "Vorbereitung...",
        "Verbleibende Zeit wird berechnet...",
        "Noch %02d Std. %02d Min. %02d Sek. ...",
        "Noch %02d Min. %02d Sek. ...",
        "Noch %02d Sek. ...",
        "Fehler",
        "%s ist bereits installiert. Möchten Sie das Programm starten?",
        "Eine andere Version dieses Produkts ist bereits installiert. Die Installation dieser "
        "Version kann nicht fortgesetzt werden. Verwenden Sie „Programme und Features“ in der "
        "Systemsteuerung, um die vorhandene Version zu konfigurieren oder zu entfernen.",
        "Die Version Ihres Clients ist veraltet. Klicken Sie auf „OK“, um den neuesten Client "
        "herunterzuladen.",
        "Der für die Installation benötigte Speicherplatz übersteigt den verfügbaren "
        "Speicherplatz. Stellen Sie sicher, dass mindestens %s MB frei sind, und versuchen Sie "
        "es erneut. Weitere Informationen erhalten Sie vom Kundendienst.",
        "Der Downloadserver ist nicht erreichbar. Überprüfen Sie Ihre Internetverbindung und "
        "versuchen Sie es erneut. Wenn das Problem weiterhin besteht, wenden Sie sich an den "
        "Kundendienst.",
        "Der angegebene Pfad %s ist nicht verfügbar.",
        "Die folgenden Anwendungen müssen vor dem Fortsetzen der Installation geschlossen "
        "werden:",
        "Verbindung unterbrochen. Neuer Versuch in %d s...",
        "Die Protokolldatei %s kann nicht geschrieben werden. Das Protokoll wird stattdessen "
        "in %s geschrieben.",
        "Das Installationsprogramm ist beschädigt: Die Einstellungsdatei %s fehlt oder kann "
        "nicht gelesen werden. Laden Sie das Installationsprogramm erneut herunter.",
        "%s konnte nicht gestartet werden.",
    ]),
    (1036, "French (France)", "Français", [
        "Installer",
        "Initialisation...",
        "Annulation...",
        "Téléchargement en cours, veuillez patienter...",
        "Installation en cours, veuillez patienter...",
        "Terminé.",
        "Échec de l’installation.",
        "Annulé.",
        "%s est prêt",
        "J’accepte les",
        "conditions de licence",
        "J’accepte les conditions de licence",
        "Paramètres d’installation",
        "Veuillez sélectionner une langue" + NBSP + ":",
        "Dossier d’installation" + NBSP + ":",
        "Annuler",
        "Voulez-vous vraiment annuler l’installation" + NBSP + "?",
        "Démarrer maintenant",
        "Lancer %s",
        "Sélectionnez le dossier de destination.",
        "Préparation...",
        "Calcul du temps restant...",
        "Temps restant" + NBSP + ": %02d h %02d min %02d s...",
        "Temps restant" + NBSP + ": %02d min %02d s...",
        "Temps restant" + NBSP + ": %02d s...",
        "Erreur",
        "%s est déjà installé. Voulez-vous le lancer" + NBSP + "?",
        "Une autre version de ce produit est déjà installée. L’installation de cette version "
        "ne peut pas continuer. Pour configurer ou supprimer la version existante, utilisez "
        "Programmes et fonctionnalités dans le Panneau de configuration.",
        "La version de votre client est trop ancienne. Cliquez sur «" + NBSP + "OK" + NBSP +
        "» pour télécharger le dernier client.",
        "L’espace disque requis pour l’installation dépasse l’espace disponible. Vérifiez "
        "qu’au moins %s Mo d’espace disque sont disponibles, puis réessayez. Pour plus "
        "d’informations, contactez le service client.",
        "Impossible de contacter le serveur de téléchargement. Vérifiez votre connexion "
        "Internet et réessayez. Si le problème persiste, contactez le service client.",
        "Le chemin spécifié %s n’est pas disponible.",
        "Les applications suivantes doivent être fermées avant de poursuivre "
        "l’installation" + NBSP + ":",
        "Connexion perdue. Nouvelle tentative dans %d s...",
        "Impossible d’écrire dans le fichier journal %s. Le journal est enregistré dans %s à "
        "la place.",
        "Le programme d’installation est endommagé" + NBSP + ": son fichier de paramètres %s "
        "est manquant ou illisible. Téléchargez de nouveau le programme d’installation.",
        "Impossible de démarrer %s.",
    ]),
    (3082, "Spanish (Spain, international sort)", "Español", [
        "Instalar",
        "Inicializando...",
        "Cancelando...",
        "Descargando, espere...",
        "Instalando, espere...",
        "Finalizado.",
        "Error en la instalación.",
        "Cancelado.",
        "%s está listo",
        "Acepto los",
        "términos de licencia",
        "Acepto los términos de licencia",
        "Configuración de la instalación",
        "Seleccione un idioma:",
        "Carpeta de instalación:",
        "Cancelar",
        "¿Seguro que desea cancelar el proceso de instalación?",
        "Iniciar ahora",
        "Iniciar %s",
        "Seleccione la carpeta de destino.",
        "Preparando...",
        "Calculando el tiempo restante...",
        "Tiempo restante: %02d h %02d min %02d s...",
        "Tiempo restante: %02d min %02d s...",
        "Tiempo restante: %02d s...",
        "Error",
        "%s ya está instalado. ¿Desea iniciarlo?",
        "Ya hay otra versión de este producto instalada. No se puede continuar con la "
        "instalación de esta versión. Para configurar o quitar la versión existente, use "
        "Programas y características en el Panel de control.",
        "La versión de su cliente es demasiado antigua. Haga clic en «Aceptar» para descargar "
        "el cliente más reciente.",
        "El espacio en disco necesario para la instalación supera el espacio disponible. "
        "Compruebe que haya al menos %s MB libres e inténtelo de nuevo. Para obtener más "
        "información, póngase en contacto con Atención al cliente.",
        "No se puede contactar con el servidor de descarga. Compruebe la conexión a Internet e "
        "inténtelo de nuevo. Si el problema continúa, póngase en contacto con Atención al "
        "cliente.",
        "La ruta especificada %s no está disponible.",
        "Debe cerrar las siguientes aplicaciones antes de continuar con la instalación:",
        "Se perdió la conexión. Reintentando en %d s...",
        "No se puede escribir en el archivo de registro %s. En su lugar, el registro se "
        "escribe en %s.",
        "El instalador está dañado: falta su archivo de configuración %s o no se puede leer. "
        "Vuelva a descargar el instalador.",
        "No se pudo iniciar %s.",
    ]),
    (1040, "Italian (Italy)", "Italiano", [
        "Installa",
        "Inizializzazione...",
        "Annullamento...",
        "Download in corso, attendere...",
        "Installazione in corso, attendere...",
        "Completato.",
        "Installazione non riuscita.",
        "Annullato.",
        "%s è pronto",
        "Accetto i",
        "termini di licenza",
        "Accetto i termini di licenza",
        "Impostazioni di installazione",
        "Selezionare una lingua:",
        "Cartella di installazione:",
        "Annulla",
        "Annullare l’installazione?",
        "Avvia ora",
        "Avvia %s",
        "Selezionare la cartella di destinazione.",
        "Preparazione...",
        "Calcolo del tempo rimanente...",
        "Tempo rimanente: %02d h %02d min %02d s...",
        "Tempo rimanente: %02d min %02d s...",
        "Tempo rimanente: %02d s...",
        "Errore",
        "%s è già installato. Avviarlo ora?",
        "Un’altra versione di questo prodotto è già installata. Impossibile continuare "
        "l’installazione di questa versione. Per configurare o rimuovere la versione "
        "esistente, usare Programmi e funzionalità nel Pannello di controllo.",
        "La versione del client è obsoleta. Fare clic su “OK” per scaricare il client più "
        "recente.",
        "Lo spazio su disco richiesto per l’installazione supera lo spazio disponibile. "
        "Verificare che siano disponibili almeno %s MB di spazio su disco e riprovare. Per "
        "ulteriori informazioni, contattare l’Assistenza clienti.",
        "Impossibile contattare il server di download. Verificare la connessione a Internet e "
        "riprovare. Se il problema persiste, contattare l’Assistenza clienti.",
        "Il percorso specificato %s non è disponibile.",
        "Chiudere le applicazioni seguenti prima di continuare l’installazione:",
        "Connessione persa. Nuovo tentativo tra %d s...",
        "Impossibile scrivere nel file di registro %s. Il registro viene scritto invece in %s.",
        "Il programma di installazione è danneggiato: il file di impostazioni %s è mancante o "
        "non può essere letto. Scaricare di nuovo il programma di installazione.",
        "Impossibile avviare %s.",
    ]),
    # Japanese puts the object before the verb: the link text comes first on the licence
    # line, so the sentence does not begin with IDS_ACCEPT_LICENSE_TERMS.
    (1041, "Japanese (Japan)", "日本語", [
        "インストール",
        "初期化しています...",
        "キャンセルしています...",
        "ダウンロードしています。しばらくお待ちください...",
        "インストールしています。しばらくお待ちください...",
        "完了しました。",
        "インストールに失敗しました。",
        "キャンセルされました。",
        "%s の準備ができました",
        "に同意します",
        "ライセンス条項",
        "ライセンス条項に同意します",
        "インストールの設定",
        "言語を選択してください:",
        "インストール先フォルダー:",
        "キャンセル",
        "インストールを中止してもよろしいですか?",
        "今すぐ起動",
        "%s を起動",
        "インストール先のフォルダーを選択してください。",
        "準備しています...",
        "残り時間を計算しています...",
        "残り時間: %02d 時間 %02d 分 %02d 秒...",
        "残り時間: %02d 分 %02d 秒...",
        "残り時間: %02d 秒...",
        "エラー",
        "%s は既にインストールされています。起動しますか?",
        "この製品の別のバージョンが既にインストールされているため、このバージョンのインストールを"
        "続行できません。既存のバージョンを構成または削除するには、コントロール パネルの"
        "[プログラムと機能] を使用してください。",
        "クライアントのバージョンが古すぎます。[OK] をクリックして最新のクライアントをダウンロード"
        "してください。",
        "インストールに必要なディスク領域が使用可能な領域を超えています。%s MB 以上の空き領域が"
        "あることを確認して、もう一度お試しください。詳しくは、カスタマー サポートにお問い合わせ"
        "ください。",
        "ダウンロード サーバーに接続できません。インターネット接続を確認して、もう一度お試し"
        "ください。問題が解決しない場合は、カスタマー サポートにお問い合わせください。",
        "指定されたパス %s は使用できません。",
        "インストールを続行する前に、次のアプリケーションを終了してください:",
        "接続が切断されました。%d 秒後に再試行します...",
        "ログ ファイル %s に書き込めません。代わりに %s にログを書き込みます。",
        "インストーラーが破損しています。設定ファイル %s が見つからないか、読み取れません。"
        "インストーラーをもう一度ダウンロードしてください。",
        "%s を起動できませんでした。",
    ]),
    (2052, "Chinese (Simplified, PRC)", "简体中文", [
        "安装",
        "正在初始化...",
        "正在取消...",
        "正在下载，请稍候...",
        "正在安装，请稍候...",
        "已完成。",
        "安装失败。",
        "已取消。",
        "%s 已准备就绪",
        "我接受",
        "许可条款",
        "我接受许可条款",
        "安装设置",
        "请选择语言：",
        "安装文件夹：",
        "取消",
        "确定要取消安装吗？",
        "立即启动",
        "启动 %s",
        "请选择目标文件夹。",
        "正在准备...",
        "正在计算剩余时间...",
        "剩余时间：%02d 小时 %02d 分 %02d 秒...",
        "剩余时间：%02d 分 %02d 秒...",
        "剩余时间：%02d 秒...",
        "错误",
        "%s 已安装。是否立即启动？",
        "已安装此产品的其他版本，无法继续安装此版本。若要配置或删除此产品的现有版本，请使用"
        "控制面板中的“程序和功能”。",
        "客户端版本过旧，请单击“确定”下载最新的客户端。",
        "安装所需的磁盘空间超过了可用磁盘空间。请确保至少有 %s MB 的可用磁盘空间，然后重试。"
        "如需了解详细信息，请联系客户服务部门。",
        "无法连接到下载服务器。请检查 Internet 连接，然后重试。如果问题仍然存在，请联系客户"
        "服务部门。",
        "指定的路径 %s 不可用。",
        "继续安装之前，请关闭以下应用程序：",
        "连接已断开。%d 秒后重试...",
        "无法写入日志文件 %s。日志将改为写入 %s。",
        "安装程序已损坏：其设置文件 %s 缺失或无法读取。请重新下载安装程序。",
        "无法启动 %s。",
    ]),
    (1046, "Portuguese (Brazil)", "Português (Brasil)", [
        "Instalar",
        "Inicializando...",
        "Cancelando...",
        "Baixando, aguarde...",
        "Instalando, aguarde...",
        "Concluído.",
        "Falha na instalação.",
        "Cancelado.",
        "%s está pronto",
        "Aceito os",
        "Termos de Licença",
        "Aceito os Termos de Licença",
        "Configurações de instalação",
        "Selecione um idioma:",
        "Pasta de instalação:",
        "Cancelar",
        "Tem certeza de que deseja cancelar a instalação?",
        "Iniciar agora",
        "Iniciar %s",
        "Procure a pasta de destino.",
        "Preparando...",
        "Calculando o tempo restante...",
        "Tempo restante: %02d h %02d min %02d s...",
        "Tempo restante: %02d min %02d s...",
        "Tempo restante: %02d s...",
        "Erro",
        "%s já está instalado. Deseja iniciá-lo?",
        "Outra versão deste produto já está instalada. A instalação desta versão não pode "
        "continuar. Para configurar ou remover a versão existente, use Programas e Recursos no "
        "Painel de Controle.",
        "A versão do seu cliente é muito antiga. Clique em “OK” para baixar o cliente mais "
        "recente.",
        "O espaço em disco necessário para a instalação excede o espaço disponível. Verifique "
        "se há pelo menos %s MB de espaço livre em disco e tente novamente. Para obter mais "
        "informações, entre em contato com o Atendimento ao Cliente.",
        "Não foi possível contatar o servidor de download. Verifique sua conexão com a Internet "
        "e tente novamente. Se o problema persistir, entre em contato com o Atendimento ao "
        "Cliente.",
        "O caminho especificado %s não está disponível.",
        "Os seguintes aplicativos devem ser fechados antes de continuar a instalação:",
        "Conexão perdida. Tentando novamente em %d s...",
        "Não é possível gravar o arquivo de log %s. Em vez disso, o log é gravado em %s.",
        "O instalador está danificado: o arquivo de configurações %s está ausente ou não pode "
        "ser lido. Baixe o instalador novamente.",
        "Não foi possível iniciar %s.",
    ]),
    (1045, "Polish (Poland)", "Polski", [
        "Zainstaluj",
        "Inicjowanie...",
        "Anulowanie...",
        "Pobieranie, proszę czekać...",
        "Instalowanie, proszę czekać...",
        "Zakończono.",
        "Instalacja nie powiodła się.",
        "Anulowano.",
        "Program %s jest gotowy",
        "Akceptuję",
        "warunki licencji",
        "Akceptuję warunki licencji",
        "Ustawienia instalacji",
        "Wybierz język:",
        "Folder instalacji:",
        "Anuluj",
        "Czy na pewno chcesz anulować instalację?",
        "Uruchom teraz",
        "Uruchom %s",
        "Wybierz folder docelowy.",
        "Przygotowywanie...",
        "Obliczanie pozostałego czasu...",
        "Pozostało: %02d godz. %02d min %02d s...",
        "Pozostało: %02d min %02d s...",
        "Pozostało: %02d s...",
        "Błąd",
        "Program %s jest już zainstalowany. Czy chcesz go uruchomić?",
        "Inna wersja tego produktu jest już zainstalowana. Nie można kontynuować instalacji tej "
        "wersji. Aby skonfigurować lub usunąć istniejącą wersję, użyj apletu Programy i funkcje "
        "w Panelu sterowania.",
        "Wersja klienta jest zbyt stara. Kliknij „OK”, aby pobrać najnowszą wersję klienta.",
        "Ilość miejsca na dysku wymagana do instalacji przekracza ilość dostępnego miejsca. "
        "Upewnij się, że jest dostępne co najmniej %s MB, i spróbuj ponownie. Aby uzyskać "
        "więcej informacji, skontaktuj się z działem obsługi klienta.",
        "Nie można nawiązać połączenia z serwerem pobierania. Sprawdź połączenie z Internetem i "
        "spróbuj ponownie. Jeśli problem będzie się powtarzał, skontaktuj się z działem obsługi "
        "klienta.",
        "Określona ścieżka %s jest niedostępna.",
        "Przed kontynuowaniem instalacji należy zamknąć następujące aplikacje:",
        "Utracono połączenie. Ponowna próba za %d s...",
        "Nie można zapisać pliku dziennika %s. Zamiast tego dziennik jest zapisywany w pliku "
        "%s.",
        "Instalator jest uszkodzony: brak pliku ustawień %s lub nie można go odczytać. Pobierz "
        "instalator ponownie.",
        "Nie można uruchomić programu %s.",
    ]),
]


def render(lang_id, english_name, title, texts):
    """The bytes of one string.ini: UTF-16LE with BOM, CRLF line ends."""
    if len(texts) != len(UI_KEYS):
        raise ValueError("language %d has %d texts for %d keys" % (lang_id, len(texts), len(UI_KEYS)))
    lines = [
        "; VARO Pro installer texts: %s (%d)" % (english_name, lang_id),
        "; Generated by tools/make_sample_strings.py: change the translations there and regenerate.",
        "",
        "[LANGUAGE]",
        "Title=" + title,
        "",
        "[UISTRING]",
    ]
    lines += ["%s=%s" % (key, text) for key, text in zip(UI_KEYS, texts)]
    lines += ["", "[RLINK]"]
    lines += ["%s=%s" % (key, link) for key, link in LINKS]
    text = "\r\n".join(lines) + "\r\n"
    return b"\xff\xfe" + text.encode("utf-16-le")


def rendered_files():
    """{language id: file bytes} for every sample language."""
    return {entry[0]: render(*entry) for entry in LANGUAGES}


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "sample", "language"),
                        help="language folder to write into (default: sample/language)")
    args = parser.parse_args(argv)
    for lang_id, data in rendered_files().items():
        folder = os.path.join(args.out, str(lang_id))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "string.ini"), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
